#include "vorlan/digest/sha512.h"

#include <algorithm>
#include <bit>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "vorlan/support/endian.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {

namespace {

// The working variables and one round of FIPS 180-4, 6.4.2, given W[t] + K[t]. Maj(a, b, c)
// is b ^ ((a ^ b) & (b ^ c)), and b ^ c is the last round's a ^ b; the terms that do not
// wait for e or a are added first.
struct CRounds {
    std::uint64_t a, b, c, d, e, f, g, h, bc;

    explicit CRounds(const std::uint64_t (&state)[8])
        : a(state[0]), b(state[1]), c(state[2]), d(state[3]), e(state[4]), f(state[5]), g(state[6]), h(state[7]),
          bc(b ^ c) {}

    [[gnu::always_inline]] void Round(std::uint64_t wk) {
        const std::uint64_t t1 =
            (h + wk) + (g ^ (e & (f ^ g))) + (std::rotr(e, 14) ^ std::rotr(e, 18) ^ std::rotr(e, 41));
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

    void AddTo(std::uint64_t (&state)[8]) const {
        const std::uint64_t v[8] = {a, b, c, d, e, f, g, h};
        for (int i = 0; i < 8; ++i) state[i] += v[i];
    }
};

std::uint64_t SmallSigma0(std::uint64_t x) { return std::rotr(x, 1) ^ std::rotr(x, 8) ^ (x >> 7); }
std::uint64_t SmallSigma1(std::uint64_t x) { return std::rotr(x, 19) ^ std::rotr(x, 61) ^ (x >> 6); }

#if defined(__x86_64__)
// Two message words at once in SSE2 registers, which the rounds on the general registers leave
// free: W[u], W[u+1] = s1(W[u-2..u-1]) + W[u-7..u-6] + s0(W[u-15..u-14]) + W[u-16..u-15].
__m128i RotateRight(__m128i x, int n) { return _mm_or_si128(_mm_srli_epi64(x, n), _mm_slli_epi64(x, 64 - n)); }

// W[u..u+1], and W[u..u+1] + K[u..u+1] in wk.
[[gnu::always_inline]] inline void SchedulePair(std::uint64_t* w, std::uint64_t* wk, int u) {
    const auto at = [](const std::uint64_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    const __m128i w15 = at(w + u - 15), w2 = at(w + u - 2);
    const __m128i s0 = _mm_xor_si128(_mm_xor_si128(RotateRight(w15, 1), RotateRight(w15, 8)), _mm_srli_epi64(w15, 7));
    const __m128i s1 = _mm_xor_si128(_mm_xor_si128(RotateRight(w2, 19), RotateRight(w2, 61)), _mm_srli_epi64(w2, 6));
    const __m128i next = _mm_add_epi64(_mm_add_epi64(at(w + u - 16), s0), _mm_add_epi64(at(w + u - 7), s1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w + u), next);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(wk + u), _mm_add_epi64(next, at(kSha512RoundConstants + u)));
}

// The schedule pairs run sixteen rounds ahead of the rounds that take them; BMI2's rorx rotates
// without touching the flags or the source.
[[gnu::target("bmi2")]] void CompressSse2Bmi2(std::uint64_t (&state)[8], const unsigned char* data, int blocks) {
    alignas(16) std::uint64_t w[80], wk[80];
    for (; blocks > 0; --blocks, data += 128) {
        for (int i = 0; i < 16; ++i) {
            w[i] = LoadBigEndian<std::uint64_t>(data + 8 * i);
            wk[i] = w[i] + kSha512RoundConstants[i];
        }
        CRounds v(state);
#pragma GCC unroll 80
        for (int t = 0; t < 80; ++t) {
            if (t % 2 == 0 && t < 64) SchedulePair(w, wk, t + 16);
            v.Round(wk[t]);
        }
        v.AddTo(state);
    }
    SecureWipe(w, sizeof w);
    SecureWipe(wk, sizeof wk);
}
#endif

}  // namespace

void Sha512CompressPortable(std::uint64_t (&state)[8], const unsigned char* data, int blocks) {
    // The message schedule as a window of 16 words: W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16].
    std::uint64_t w[16];
    for (; blocks > 0; --blocks, data += 128) {
        for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian<std::uint64_t>(data + 8 * i);
        CRounds v(state);
#pragma GCC unroll 80
        for (int t = 0; t < 80; ++t) {
            if (t >= 16) w[t % 16] += SmallSigma0(w[(t - 15) % 16]) + w[(t - 7) % 16] + SmallSigma1(w[(t - 2) % 16]);
            v.Round(w[t % 16] + kSha512RoundConstants[t]);
        }
        v.AddTo(state);
    }
    SecureWipe(w, sizeof w);
}

void Sha512Compress(std::uint64_t (&state)[8], const unsigned char* data, int blocks) {
#if defined(__x86_64__)
    static const auto chosen = __builtin_cpu_supports("bmi2") ? CompressSse2Bmi2 : Sha512CompressPortable;
    chosen(state, data, blocks);
#else
    Sha512CompressPortable(state, data, blocks);
#endif
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
