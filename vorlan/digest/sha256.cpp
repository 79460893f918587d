#include "vorlan/digest/sha256.h"

#include <bit>

#include "vorlan/digest/sha256compress.h"
#include "vorlan/support/endian.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {

void Sha256CompressPortable(std::uint32_t (&state)[8], const unsigned char* data, int blocks) {
    // The message schedule as a window of 16 words: W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16].
    std::uint32_t w[16];
    for (; blocks > 0; --blocks, data += 64) {
        for (int i = 0; i < 16; ++i) w[i] = vorlan::detail::LoadBigEndian<std::uint32_t>(data + 4 * i);
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
#pragma GCC unroll 64
        for (int t = 0; t < 64; ++t) {
            if (t >= 16) {
                const std::uint32_t w15 = w[(t - 15) % 16], w2 = w[(t - 2) % 16];
                const std::uint32_t s0 = std::rotr(w15, 7) ^ std::rotr(w15, 18) ^ (w15 >> 3);
                const std::uint32_t s1 = std::rotr(w2, 17) ^ std::rotr(w2, 19) ^ (w2 >> 10);
                w[t % 16] += s0 + w[(t - 7) % 16] + s1;
            }
            const std::uint32_t t1 = h + (std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25)) +
                                     (g ^ (e & (f ^ g))) + kSha256RoundConstants[t] + w[t % 16];
            const std::uint32_t t2 = (std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22)) + ((a & b) | (c & (a | b)));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
    SecureWipe(w, sizeof w);
}

Sha256CompressFunction Sha256Compressor() {
    static const Sha256CompressFunction chosen = HasShaInstructions() ? Sha256CompressShaNi : Sha256CompressPortable;
    return chosen;
}

void Sha256Traits::Compress(std::uint32_t (&state)[words], const unsigned char* data, int blocks) {
    Sha256Compressor()(state, data, blocks);
}

}  // namespace vorlan::detail
