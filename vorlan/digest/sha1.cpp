#include "vorlan/digest/sha1.h"

#include <bit>

#include "vorlan/digest/sha1compress.h"
#include "vorlan/support/endian.h"
#include "vorlan/support/wipe.h"

namespace {

// FIPS 180-1: the constants of the four rounds of 20 steps.
constexpr std::uint32_t roundConstants[4] = {0x5a827999, 0x6ed9eba1, 0x8f1bbcdc, 0xca62c1d6};

}  // namespace

namespace vorlan::detail {

void Sha1CompressPortable(std::uint32_t (&state)[5], const unsigned char* data, int blocks) {
    // The message schedule as a window of 16 words: W[t] = rotl(W[t-3]^W[t-8]^W[t-14]^W[t-16], 1).
    std::uint32_t w[16];
    for (; blocks > 0; --blocks, data += 64) {
        for (int i = 0; i < 16; ++i) w[i] = vorlan::detail::LoadBigEndian<std::uint32_t>(data + 4 * i);
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
#pragma GCC unroll 80
        for (int t = 0; t < 80; ++t) {
            if (t >= 16) {
                w[t % 16] = std::rotl(w[(t - 3) % 16] ^ w[(t - 8) % 16] ^ w[(t - 14) % 16] ^ w[t % 16], 1);
            }
            std::uint32_t f;
            if (t < 20)
                f = d ^ (b & (c ^ d));
            else if (t < 40 || t >= 60)
                f = b ^ c ^ d;
            else
                f = (b & c) | (d & (b | c));
            const std::uint32_t temp = std::rotl(a, 5) + f + e + roundConstants[t / 20] + w[t % 16];
            e = d;
            d = c;
            c = std::rotl(b, 30);
            b = a;
            a = temp;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
    }
    SecureWipe(w, sizeof w);
}

Sha1CompressFunction Sha1Compressor() {
    static const Sha1CompressFunction chosen = HasShaInstructions() ? Sha1CompressShaNi : Sha1CompressPortable;
    return chosen;
}

void Sha1Traits::Compress(std::uint32_t (&state)[words], const unsigned char* data, int blocks) {
    Sha1Compressor()(state, data, blocks);
}

}  // namespace vorlan::detail
