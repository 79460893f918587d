/// \file
/// Base64 text of octets (RFC 4648, standard alphabet, padded). Decoding is strict: only the
/// alphabet, padding to whole quanta and zero pad bits are accepted, so each octet string has
/// exactly one text. A malformed text throws CFileException (invalidFile) whose message says
/// what is wrong and at which character.
#pragma once

#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/string.h"

/// The padded Base64 text of `length` octets, on one line; the memory exception for a negative
/// length.
CString EncodeBase64(const BYTE* data, int length);
/// `out` replaced by the octets of the `length` characters at `text`; CFileException*
/// (invalidFile) for a malformed text.
void DecodeBase64(const char* text, int length, CByteArray& out);
