#include "vorlan/digest/sha512.h"

#include <algorithm>
#include <bit>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "vorlan/support/endian.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {

namespace {

// The working variables and one round of FIPS 180-4, 6.4.2, given W[t] + K[t]. Ch(e, f, g) is
// (e & f) + (~e & g), whose terms share no bit and are added as they come (~e & g is one andn
// with BMI1). Maj(a, b, c) is b ^ ((a ^ b) & (b ^ c)), and b ^ c is the last round's a ^ b; the
// terms that do not wait for e or a are added first.
struct CRounds {
    std::uint64_t a, b, c, d, e, f, g, h, bc;

    explicit CRounds(const std::uint64_t (&state)[8])
        : a(state[0]), b(state[1]), c(state[2]), d(state[3]), e(state[4]), f(state[5]), g(state[6]), h(state[7]),
          bc(b ^ c) {}

    [[gnu::always_inline]] void Round(std::uint64_t wk) {
        const std::uint64_t t1 =
            (h + wk) + (e & f) + (~e & g) + (std::rotr(e, 14) ^ std::rotr(e, 18) ^ std::rotr(e, 41));
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
// The message schedules of two blocks at once, each 128-bit lane of an AVX2 register holding two
// words of one block (x[i % 8] holds words 2i and 2i + 1): W[u..u+1] = s1(W[u-2..u-1]) +
// W[u-7..u-6] + s0(W[u-15..u-14]) + W[u-16..u-15]. W + K goes to wk, which keeps the two blocks'
// pairs in turn. The sigmas are written on the compiler's vector type, which becomes vprorq and
// vpternlogq in the kernel that allows AVX-512VL.
using Words4 = std::uint64_t __attribute__((vector_size(32)));

[[gnu::target("avx2"), gnu::always_inline]] inline Words4 RotateRight(Words4 x, int n) {
    return (x >> n) | (x << (64 - n));
}

// W + K of the pair i of both blocks.
[[gnu::target("avx2"), gnu::always_inline]] inline void StoreSum(const __m256i (&x)[8], std::uint64_t* wk, int i) {
    const __m256i k =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha512RoundConstants + 2 * i)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(wk + 4 * i), _mm256_add_epi64(x[i % 8], k));
}

// The first sixteen words of the blocks at a and b (which may be the same block).
[[gnu::target("avx2"), gnu::always_inline]] inline void LoadPair(__m256i (&x)[8], std::uint64_t* wk,
                                                                 const unsigned char* a, const unsigned char* b) {
    const __m256i byteSwap =
        _mm256_set_epi64x(0x08090a0b0c0d0e0fLL, 0x0001020304050607LL, 0x08090a0b0c0d0e0fLL, 0x0001020304050607LL);
    for (int i = 0; i < 8; ++i) {
        x[i] = _mm256_shuffle_epi8(_mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(b + 16 * i),
                                                       reinterpret_cast<const __m128i*>(a + 16 * i)),
                                   byteSwap);
        StoreSum(x, wk, i);
    }
}

// Words 16 + 2k and 17 + 2k of both blocks.
[[gnu::target("avx2"), gnu::always_inline]] inline void SchedulePair(__m256i (&x)[8], std::uint64_t* wk, int k) {
    const auto w15 = reinterpret_cast<Words4>(_mm256_alignr_epi8(x[(k + 1) % 8], x[k % 8], 8));
    const auto w7 = reinterpret_cast<Words4>(_mm256_alignr_epi8(x[(k + 5) % 8], x[(k + 4) % 8], 8));
    const auto w2 = reinterpret_cast<Words4>(x[(k + 7) % 8]);
    const Words4 s0 = RotateRight(w15, 1) ^ RotateRight(w15, 8) ^ (w15 >> 7);
    const Words4 s1 = RotateRight(w2, 19) ^ RotateRight(w2, 61) ^ (w2 >> 6);
    x[k % 8] = reinterpret_cast<__m256i>(reinterpret_cast<Words4>(x[k % 8]) + s0 + w7 + s1);
    StoreSum(x, wk, k + 8);
}

// Blocks in pairs: the rounds of the first run the schedule steps of both sixteen rounds ahead,
// the rounds of the second only read theirs. BMI2's rorx rotates without touching the flags
// or the source.
[[gnu::target("avx2,bmi,bmi2"), gnu::always_inline]] inline void CompressPairs(std::uint64_t (&state)[8],
                                                                               const unsigned char* data, int blocks) {
    alignas(32) std::uint64_t wk[160];
    for (; blocks > 0; blocks -= 2, data += 256) {
        __m256i x[8];
        LoadPair(x, wk, data, blocks > 1 ? data + 128 : data);
        // The rounds read W + K through a pointer the compiler does not trace to the stores, so
        // each is a load folded into an add rather than an extraction from a vector register.
        const std::uint64_t* in = wk;
        asm("" : "+r"(in));
        const auto at = [in](int b, int t) { return in[4 * (t / 2) + 2 * b + t % 2]; };
        CRounds first(state);
#pragma GCC unroll 80
        for (int t = 0; t < 80; ++t) {
            if (t % 2 == 0 && t < 64) SchedulePair(x, wk, t / 2);
            first.Round(at(0, t));
        }
        first.AddTo(state);
        if (blocks == 1) break;
        CRounds second(state);
#pragma GCC unroll 80
        for (int t = 0; t < 80; ++t) second.Round(at(1, t));
        second.AddTo(state);
    }
    SecureWipe(wk, sizeof wk);
}

[[gnu::target("avx2,bmi,bmi2")]] void CompressAvx2Bmi2(std::uint64_t (&state)[8], const unsigned char* data,
                                                       int blocks) {
    CompressPairs(state, data, blocks);
}

[[gnu::target("avx512vl,avx2,bmi,bmi2")]] void CompressAvx512Bmi2(std::uint64_t (&state)[8], const unsigned char* data,
                                                                  int blocks) {
    CompressPairs(state, data, blocks);
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

std::span<const Sha512CompressFunction> Sha512Compressors() {
    static const std::vector<Sha512CompressFunction> runnable = [] {
        std::vector<Sha512CompressFunction> list;
#if defined(__x86_64__)
        __builtin_cpu_init();  // in case this first runs in a static constructor
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2")) {
            if (__builtin_cpu_supports("avx512vl")) list.push_back(CompressAvx512Bmi2);
            list.push_back(CompressAvx2Bmi2);
        }
#endif
        list.push_back(Sha512CompressPortable);
        return list;
    }();
    return runnable;
}

void Sha512Compress(std::uint64_t (&state)[8], const unsigned char* data, int blocks) {
    static const Sha512CompressFunction chosen = Sha512Compressors().front();
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
