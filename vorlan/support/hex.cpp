#include "vorlan/support/hex.h"

#include <cctype>
#include <cstring>

int IsHexCharsString(const unsigned char* chars, int count) {
    if (count <= 0) return 0;
    for (int i = 0; i < count; ++i)
        if (!std::isxdigit(chars[i])) return 0;
    return 1;
}

int IsHexCharsString(const CString& text) {
    return IsHexCharsString(reinterpret_cast<const unsigned char*>(static_cast<const char*>(text)), text.GetLength());
}

CString OctetsToHexChars(const unsigned char* octets, int count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    CString text;
    char* out = text.GetBufferSetLength(count > 0 ? 2 * count : 0);
    for (int i = 0; i < count; ++i) {
        out[2 * i] = kDigits[octets[i] >> 4];
        out[2 * i + 1] = kDigits[octets[i] & 0x0F];
    }
    return text;
}

unsigned char HexCharToDigit(char ch) {
    if (ch >= '0' && ch <= '9') return static_cast<unsigned char>(ch - '0');
    return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(ch)) - 87);
}

void HexCharsToOctets(const CString& hex, unsigned char* out, int outLength) {
    if (outLength <= 0) return;
    const CString digits = hex.GetLength() % 2 ? CString("0") + hex : hex;
    const int n = digits.GetLength() / 2;
    const int skip = n > outLength ? n - outLength : 0;  // leading octets that do not fit
    const int pad = n < outLength ? outLength - n : 0;   // zeros in front
    std::memset(out, 0, static_cast<size_t>(pad));
    for (int i = skip; i < n; ++i)
        out[pad + i - skip] =
            static_cast<unsigned char>(HexCharToDigit(digits[2 * i]) * 16 + HexCharToDigit(digits[2 * i + 1]));
}
