// Octet strings for tests: hexadecimal in and out, and reproducible filler.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace testcommon {

using Octets = std::vector<unsigned char>;

// The octets of a hexadecimal text; characters other than hex digits (spaces) are skipped.
inline Octets FromHex(const std::string& text) {
    std::string digits;
    for (char ch : text)
        if (std::isxdigit(static_cast<unsigned char>(ch))) digits += ch;
    Octets out;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string ToHex(const unsigned char* octets, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text += digits[octets[i] >> 4];
        text += digits[octets[i] & 15];
    }
    return text;
}

inline std::string ToHex(const Octets& octets) { return ToHex(octets.data(), octets.size()); }

// n octets that depend only on the seed.
inline Octets Pattern(std::size_t n, unsigned seed = 1) {
    Octets out(n);
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& octet : out) {
        x = x * 1103515245u + 12345u;
        octet = static_cast<unsigned char>(x >> 16);
    }
    return out;
}

}  // namespace testcommon
