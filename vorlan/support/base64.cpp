#include "vorlan/support/base64.h"

#include <algorithm>
#include <array>
#include <string>
#include <cstdint>

#include "vorlan/framework/exception.h"
#include "vorlan/support/textformat.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::int8_t kNotBase64 = -1;

constexpr std::array<std::int8_t, 256> MakeValues() {
    std::array<std::int8_t, 256> values{};
    values.fill(kNotBase64);
    for (int i = 0; i < 64; ++i) values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    return values;
}
constexpr auto kValues = MakeValues();

}  // namespace

CString EncodeBase64(const BYTE* data, int length) {
    if (length < 0) AfxThrowMemoryException();
    std::string text;
    text.reserve(static_cast<std::size_t>(length + 2) / 3 * 4);
    for (int i = 0; i < length; i += 3) {
        const int count = std::min(3, length - i);
        std::uint32_t group = std::uint32_t{data[i]} << 16;
        if (count > 1) group |= std::uint32_t{data[i + 1]} << 8;
        if (count > 2) group |= data[i + 2];
        for (int c = 0; c < 4; ++c) text += c <= count ? kAlphabet[(group >> (18 - 6 * c)) & 0x3F] : '=';
    }
    return CString(std::string_view(text));
}

void DecodeBase64(const char* text, int length, CByteArray& out) {
    if (length < 0) AfxThrowMemoryException();
    if (length % 4 != 0) vorlan::detail::ThrowTextFormat("base64: length %d is not a multiple of 4", length);
    // One or two '=' may close the text, nothing else may follow them.
    int padding = 0;
    while (padding < 2 && padding < length && text[length - 1 - padding] == '=') ++padding;
    out.SetSize(length / 4 * 3 - padding);
    std::uint32_t group = 0;
    for (int i = 0; i < length - padding; ++i) {
        const std::int8_t value = kValues[static_cast<unsigned char>(text[i])];
        if (value == kNotBase64) vorlan::detail::ThrowTextFormat("base64: character %d is outside the alphabet", i);
        group = group << 6 | static_cast<std::uint32_t>(value);
        if (i % 4 == 3) {
            BYTE* at = out.GetData() + i / 4 * 3;
            at[0] = static_cast<BYTE>(group >> 16);
            at[1] = static_cast<BYTE>(group >> 8);
            at[2] = static_cast<BYTE>(group);
        }
    }
    if (padding == 0) return;
    // The last quantum: 2 or 3 characters carrying 1 or 2 octets; the bits beyond must be zero.
    const int have = 4 - padding;
    group <<= 6 * padding;
    if ((group & (padding == 2 ? 0xFFFFu : 0xFFu)) != 0)
        vorlan::detail::ThrowTextFormat("base64: character %d carries bits beyond the data", length - padding - 1);
    BYTE* at = out.GetData() + (length / 4 - 1) * 3;
    for (int k = 0; k < have - 1; ++k) at[k] = static_cast<BYTE>(group >> (16 - 8 * k));
}
