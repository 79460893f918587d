// DER elements built by hand for the tests, independent of the library's encoder: identifier
// octet, definite length (short or long form), contents. As octets, or as hex text for tables
// written in hex.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/common/octets.h"

namespace testcommon {

inline Octets Concat(const std::vector<Octets>& parts) {
    Octets out;
    for (const Octets& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Octets Tlv(unsigned char tag, const Octets& contents) {
    Octets length;
    for (std::size_t n = contents.size(); n > 0; n >>= 8) length.insert(length.begin(), static_cast<unsigned char>(n));
    if (contents.size() < 128)
        length = {static_cast<unsigned char>(contents.size())};
    else
        length.insert(length.begin(), static_cast<unsigned char>(0x80 | length.size()));
    return Concat({{tag}, length, contents});
}
inline Octets Seq(const std::vector<Octets>& parts) { return Tlv(0x30, Concat(parts)); }
inline Octets Set(const std::vector<Octets>& parts) { return Tlv(0x31, Concat(parts)); }
inline Octets Text(unsigned char tag, const std::string& text) { return Tlv(tag, Octets(text.begin(), text.end())); }

// The same in hex, for tables written in hex: identifier and parts in hex, the element in hex.
namespace hexder {
inline std::string tlv(const std::string& tag, std::initializer_list<std::string> parts = {}) {
    Octets contents;
    for (const std::string& part : parts) contents = Concat({contents, FromHex(part)});
    return ToHex(Tlv(FromHex(tag).at(0), contents));
}
// A primitive string (an OCTET STRING by default) and a one-octet number (an INTEGER by default).
inline std::string str(const std::string& text, const std::string& tag = "04") {
    return ToHex(Text(FromHex(tag).at(0), text));
}
inline std::string num(unsigned char value, const std::string& tag = "02") {
    return ToHex(Tlv(FromHex(tag).at(0), {value}));
}
}  // namespace hexder

}  // namespace testcommon
