// SHA-1 compression with the x86 SHA extensions: four steps per sha1rnds4, the
// message schedule by sha1msg1/sha1msg2, the fifth word carried by sha1nexte.
#include <utility>

#include "vorlan/digest/sha1compress.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace vorlan::detail {

namespace {

// One group of four steps (g = 0..19). The message vectors m[g % 4] rotate through the
// schedule: each is extended three and two groups ahead and finished one group ahead.
template <int G>
__attribute__((target("sha,sse4.1"), always_inline)) inline void Steps(__m128i& abcd, __m128i (&e)[2],
                                                                       __m128i (&m)[4]) {
    __m128i& current = e[G % 2];
    if constexpr (G == 0)
        current = _mm_add_epi32(current, m[0]);
    else
        current = _mm_sha1nexte_epu32(current, m[G % 4]);
    e[(G + 1) % 2] = abcd;
    if constexpr (G >= 3 && G <= 18) m[(G + 1) % 4] = _mm_sha1msg2_epu32(m[(G + 1) % 4], m[G % 4]);
    abcd = _mm_sha1rnds4_epu32(abcd, current, G / 5);
    if constexpr (G >= 1 && G <= 16) m[(G + 3) % 4] = _mm_sha1msg1_epu32(m[(G + 3) % 4], m[G % 4]);
    if constexpr (G >= 2 && G <= 17) m[(G + 2) % 4] = _mm_xor_si128(m[(G + 2) % 4], m[G % 4]);
}

template <int... G>
__attribute__((target("sha,sse4.1"), always_inline)) inline void AllSteps(__m128i& abcd, __m128i (&e)[2],
                                                                          __m128i (&m)[4], const unsigned char* data,
                                                                          std::integer_sequence<int, G...>) {
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    for (int i = 0; i < 4; ++i)
        m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
    (Steps<G>(abcd, e, m), ...);
}

}  // namespace

__attribute__((target("sha,sse4.1"))) void Sha1CompressShaNi(std::uint32_t (&state)[5], const unsigned char* data,
                                                             int blocks) {
    // The state words a..d in one vector with a in the top lane, e in the top lane of its own.
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1b);
    __m128i e[2] = {_mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0), _mm_setzero_si128()};
    __m128i m[4];
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abcdBefore = abcd;
        const __m128i eBefore = e[0];
        AllSteps(abcd, e, m, data, std::make_integer_sequence<int, 20>());
        // After 20 groups e[1] holds the last input; the new e is rotl(a, 30) of four steps back.
        e[0] = _mm_sha1nexte_epu32(e[0], eBefore);
        abcd = _mm_add_epi32(abcd, abcdBefore);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1b));
    state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e[0], 3));
}

}  // namespace vorlan::detail

#else

namespace vorlan::detail {

void Sha1CompressShaNi(std::uint32_t (&state)[5], const unsigned char* data, int blocks) {
    Sha1CompressPortable(state, data, blocks);
}

}  // namespace vorlan::detail

#endif
