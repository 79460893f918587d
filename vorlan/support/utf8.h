// UTF-8 (RFC 3629): telling well-formed text from octets that only look like it, and writing
// code points of the wider string types (BMPString, UniversalString) as UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vorlan::detail {

// Octets of the well-formed sequence at `s` (at most `n` available): shortest form only, no
// surrogates, nothing past U+10FFFF; 0 when it is not one (or n is 0).
std::size_t Utf8SequenceLength(const unsigned char* s, std::size_t n);
// Every octet belongs to a well-formed sequence.
bool IsUtf8(std::string_view text);
// The UTF-8 of a code point; false, nothing appended, for a surrogate or one past U+10FFFF.
bool AppendUtf8(std::string& out, char32_t code);

}  // namespace vorlan::detail
