#include "vorlan/digest/md5.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "vorlan/support/endian.h"
#include "vorlan/support/hex.h"
#include "vorlan/support/wipe.h"

namespace {

// RFC 1321: the sines table T[i] = floor(2^32 * |sin(i + 1)|), the rotation per
// step and the message word each step reads.
constexpr std::array<std::uint32_t, 64> sines = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr std::array<int, 16> rotations = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

constexpr int MessageWord(int step) {
    switch (step / 16) {
        case 0:
            return step;
        case 1:
            return (5 * step + 1) % 16;
        case 2:
            return (3 * step + 5) % 16;
        default:
            return (7 * step) % 16;
    }
}

}  // namespace

void vorlan::detail::Md5Traits::Compress(std::uint32_t (&state)[words], const unsigned char* data, int blocks) {
    std::uint32_t x[16];
    for (; blocks > 0; --blocks, data += 64) {
        for (int i = 0; i < 16; ++i) x[i] = vorlan::detail::LoadLittleEndian<std::uint32_t>(data + 4 * i);
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
#pragma GCC unroll 64
        for (int i = 0; i < 64; ++i) {
            // b is the value computed last; everything not depending on it is summed first
            // so that only two or three operations wait for it.
            std::uint32_t sum = a + sines[i] + x[MessageWord(i)];
            if (i < 16) {
                sum += d ^ (b & (c ^ d));
            } else if (i < 32) {
                sum += c & ~d;
                sum += b & d;
            } else if (i < 48) {
                sum += b ^ (c ^ d);
            } else {
                sum += c ^ (b | ~d);
            }
            a = d;
            d = c;
            c = b;
            b += std::rotl(sum, rotations[(i / 16) * 4 + i % 4]);
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
    }
    SecureWipe(x, sizeof x);
}

void AfxMakeMD5DigestOnData(unsigned char* data, int len, unsigned char* out) {
    CMD5DigestMaker maker;
    maker.UpdateBlock(data, len, nullptr, 1, 1);
    maker.GetCurrentDigest(out);
}

CString Name2UniqueID(const char* name, int count) {
    const int length = name ? static_cast<int>(std::strlen(name)) : 0;
    unsigned char digest[CMD5DigestMaker::digestSize];
    CMD5DigestMaker maker;
    maker.UpdateBlock(reinterpret_cast<const unsigned char*>(name), length, nullptr, 1, 1);
    maker.GetCurrentDigest(digest);
    return OctetsToHexChars(digest, std::clamp(count, 0, CMD5DigestMaker::digestSize));
}
