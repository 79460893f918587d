// LDAP PDUs written as nested TLVs in hex for table-driven tests.
#pragma once

#include <initializer_list>
#include <string>

#include "tests/ldap/peer_util.h"

namespace ldappeer {

// Identifier `tag` (hex), the definite length of the contents and the contents (hex).
inline std::string tlv(const std::string& tag, std::initializer_list<std::string> parts = {}) {
    std::string contents;
    for (const std::string& part : parts) contents += part;
    const Octets octets = FromHex(contents);
    const size_t n = octets.size();
    std::string length;
    if (n < 128)
        length = ToHex(Octets{static_cast<unsigned char>(n)});
    else if (n < 256)
        length = "81" + ToHex(Octets{static_cast<unsigned char>(n)});
    else
        length = "82" + ToHex(Octets{static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)});
    return tag + length + ToHex(octets);
}

inline std::string textHex(const std::string& text) {
    return ToHex(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}
// A primitive string under `tag` (an OCTET STRING by default).
inline std::string str(const std::string& text, const std::string& tag = "04") { return tlv(tag, {textHex(text)}); }
inline std::string num(unsigned value, const std::string& tag = "02") {
    return tlv(tag, {ToHex(Octets{static_cast<unsigned char>(value)})});
}
// resultCode, matchedDN, errorMessage.
inline std::string result(unsigned code = 0) { return num(code, "0a") + str("") + str(""); }
inline std::string message(const std::string& operation, const std::string& id = "020101") {
    return tlv("30", {id, operation});
}

}  // namespace ldappeer
