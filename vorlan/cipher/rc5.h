/// \file
/// RC5 (RFC 2040) with 8-, 16-, 32- or 64-bit words (block sizes 2, 4, 8 and 16 octets)
/// and 0 to 255 rounds; CRC5PadAlgorithm pads like every processor, CRC5Algorithm
/// takes only whole blocks and adds no padding.
///
/// Key loading: octet i is added to word i / u (u octets per word) shifted left by
/// 8 * (i mod 4) bits as a signed 32-bit value, then truncated to 8 or 16 bits or
/// sign-extended to 64 bits. For 32-bit words this is RFC 2040's loading; for the
/// other widths it is the loading that stored data were encrypted with, as are the
/// constants P = 0xB7, Q = 0x9E for 8-bit words.
#pragma once

#include <cstdint>
#include "vorlan/cipher/cryptoprocessor.h"
#include "vorlan/cipher/key.h"
#include "vorlan/support/wipe.h"

/// RC5 with padding, as every processor pads. The expanded table is wiped with the object.
class CRC5PadAlgorithm : public CCryptoProcessor {
public:
    using KeyType = CRC5key;  ///< the key class

    /// With rounds or a block size that the checks below refuse, no schedule is set up
    /// and every operation of the object throws CUnlockException.
    CRC5PadAlgorithm(const CRC5key& key, unsigned long rounds, unsigned long blockSize, int noChaining,
                     const unsigned char* iv);

    /// 0 to 255 rounds; blocks of 2, 4, 8 or 16 octets.
    static int IsValidRounds(unsigned long rounds);
    /// 1 for blocks of 2, 4, 8 or 16 octets.
    static int IsValidBlockSize(unsigned long blockSize);

protected:
    void EncipherAlgorithm(const unsigned char* in, unsigned char* out) const override;
    void DecipherAlgorithm(const unsigned char* in, unsigned char* out) const override;

private:
    using BlockRoutine = void (*)(const std::uint64_t* s, unsigned long rounds, const unsigned char* in,
                                  unsigned char* out);

    unsigned long m_rounds;
    /// The expanded table S of 2 * rounds + 2 words (each in a 64-bit slot).
    vorlan::detail::CWipedVector<std::uint64_t> m_S;
    /// The routines of the word size, chosen once; null when the object is unusable.
    BlockRoutine m_encipher = nullptr;
    BlockRoutine m_decipher = nullptr;
};

/// RC5 on whole blocks without padding: the final operations take only whole blocks
/// (CUnlockException* otherwise) and give exactly their input length.
class CRC5Algorithm : public CRC5PadAlgorithm {
public:
    using CRC5PadAlgorithm::CRC5PadAlgorithm;

    /// Without padding the final operations give exactly their input length.
    unsigned long EncrFinalOutMaxSize(unsigned long len) const override;
    unsigned long DecrFinalOutMaxSize(unsigned long len) const override;
    unsigned long EncryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                               CProgress* progress) override;
    unsigned long DecryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                               CProgress* progress) override;
    /// No padding block, so no hint for one.
    unsigned long CountHints(unsigned long len, int final) const override;
    void CheckPlaintextSize(unsigned long len) const override;
};
