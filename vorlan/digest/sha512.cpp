#include "vorlan/digest/sha512.h"

#include <algorithm>
#include <bit>

#include "vorlan/support/endian.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {

namespace {

[[gnu::always_inline]] inline void CompressBlocks(std::uint64_t (&state)[8], const unsigned char* data, int blocks) {
    // The message schedule as a window of 16 words: W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16].
    std::uint64_t w[16];
    for (; blocks > 0; --blocks, data += 128) {
        for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian<std::uint64_t>(data + 8 * i);
        std::uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
        // Maj(a, b, c) = b ^ ((a ^ b) & (b ^ c)), and b ^ c is the last round's a ^ b. The terms
        // that do not wait for e or a are added first.
        std::uint64_t bc = b ^ c;
#pragma GCC unroll 80
        for (int t = 0; t < 80; ++t) {
            if (t >= 16) {
                const std::uint64_t w15 = w[(t - 15) % 16], w2 = w[(t - 2) % 16];
                const std::uint64_t s0 = std::rotr(w15, 1) ^ std::rotr(w15, 8) ^ (w15 >> 7);
                const std::uint64_t s1 = std::rotr(w2, 19) ^ std::rotr(w2, 61) ^ (w2 >> 6);
                w[t % 16] += s0 + w[(t - 7) % 16] + s1;
            }
            const std::uint64_t t1 = (h + kSha512RoundConstants[t] + w[t % 16]) + (g ^ (e & (f ^ g))) +
                                     (std::rotr(e, 14) ^ std::rotr(e, 18) ^ std::rotr(e, 41));
            const std::uint64_t ab = a ^ b;
            const std::uint64_t t2 = (std::rotr(a, 28) ^ std::rotr(a, 34) ^ std::rotr(a, 39)) + (b ^ (ab & bc));
            bc = ab;
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

// The same compiled with BMI2, whose rorx rotates without touching the flags or the source.
[[gnu::target("bmi2")]] void CompressBmi2(std::uint64_t (&state)[8], const unsigned char* data, int blocks) {
    CompressBlocks(state, data, blocks);
}

void CompressPortable(std::uint64_t (&state)[8], const unsigned char* data, int blocks) {
    CompressBlocks(state, data, blocks);
}

}  // namespace

void Sha512Compress(std::uint64_t (&state)[8], const unsigned char* data, int blocks) {
    static const auto chosen = __builtin_cpu_supports("bmi2") ? CompressBmi2 : CompressPortable;
    chosen(state, data, blocks);
}

CSha512FamilyDigestMaker::CSha512FamilyDigestMaker(const std::uint64_t (&initialState)[8], int digestSize)
    : CDigestMaker(128), m_initialState(initialState), m_digestSize(digestSize) {
    CSha512FamilyDigestMaker::ResetContext();
}

CSha512FamilyDigestMaker::~CSha512FamilyDigestMaker() {
    SecureWipe(m_state, sizeof m_state);
    SecureWipe(&m_bitsLow, sizeof m_bitsLow);
    SecureWipe(&m_bitsHigh, sizeof m_bitsHigh);
    SecureWipe(m_buffer, sizeof m_buffer);
}

void CSha512FamilyDigestMaker::GetCurrentDigest(unsigned char* out) const {
    for (int i = 0; i < m_digestSize / 8; ++i) StoreBigEndian(m_state[i], out + 8 * i);
}

void CSha512FamilyDigestMaker::ResetContext() {
    std::copy(m_initialState, m_initialState + 8, m_state);
    m_bitsLow = m_bitsHigh = 0;
    count = 0;
}

void CSha512FamilyDigestMaker::UpdateTotalLength(int len) {
    const auto bits = static_cast<std::uint64_t>(static_cast<std::uint32_t>(len)) << 3;
    m_bitsLow += bits;
    if (m_bitsLow < bits) ++m_bitsHigh;
}

void CSha512FamilyDigestMaker::UpdateLastBytes() {
    unsigned char bits[16];
    StoreBigEndian(m_bitsHigh, bits);
    StoreBigEndian(m_bitsLow, bits + 8);
    PadWithLength(bits);
}

}  // namespace vorlan::detail
