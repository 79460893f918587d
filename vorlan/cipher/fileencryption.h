/// \file
/// Encryption and decryption of a whole file in chunks through a crypto processor.
/// The output is the bare ciphertext (or plaintext): no header, length or vector; the
/// processor's chains are neither reset before nor after.
#pragma once

#include "vorlan/cipher/cryptoprocessor.h"
#include "vorlan/framework/file.h"
#include "vorlan/support/progress.h"

/// Encrypts len octets of `in` (0: from its position to its end) into `out`, with the
/// processor's padding at the end. chunk is rounded up to a whole number of blocks.
/// progress, when given, receives one hint per block, and with setUpProgress also its
/// set-up for the number of hints to come.
void EncryptFile(CCryptoProcessor& proc, CFile& in, int len, CFile& out, unsigned long chunk, CProgress* progress,
                 int setUpProgress);
/// The reverse; len must be a non-zero multiple of the block size. The last piece
/// (a whole chunk when len is a multiple of it) goes through DecryptFinal.
void DecryptFile(CCryptoProcessor& proc, CFile& in, int len, CFile& out, unsigned long chunk, CProgress* progress,
                 int setUpProgress);
