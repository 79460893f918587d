// SHA-256 compression with the x86 SHA extensions: two rounds per sha256rnds2 on the
// state held as (a, b, e, f) and (c, d, g, h), the message schedule by sha256msg1/sha256msg2.
#include <utility>

#include "vorlan/digest/sha256compress.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace vorlan::detail {

namespace {

// One group of four rounds (g = 0..15). The message vectors m[g % 4] rotate through the
// schedule: each is started three groups ahead (msg1) and finished one group ahead (msg2).
template <int G>
__attribute__((target("sha,sse4.1"), always_inline)) inline void Rounds(__m128i& abef, __m128i& cdgh,
                                                                        __m128i (&m)[4]) {
    __m128i words = _mm_add_epi32(m[G % 4], _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256RoundConstants + 4 * G)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
    if constexpr (G >= 3 && G <= 14) {
        const __m128i w7 = _mm_alignr_epi8(m[G % 4], m[(G + 3) % 4], 4);
        m[(G + 1) % 4] = _mm_sha256msg2_epu32(_mm_add_epi32(m[(G + 1) % 4], w7), m[G % 4]);
    }
    words = _mm_shuffle_epi32(words, 0x0e);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, words);
    if constexpr (G >= 1 && G <= 12) m[(G + 3) % 4] = _mm_sha256msg1_epu32(m[(G + 3) % 4], m[G % 4]);
}

template <int... G>
__attribute__((target("sha,sse4.1"), always_inline)) inline void AllRounds(__m128i& abef, __m128i& cdgh,
                                                                           const unsigned char* data,
                                                                           std::integer_sequence<int, G...>) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i m[4];
    for (int i = 0; i < 4; ++i)
        m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
    (Rounds<G>(abef, cdgh, m), ...);
}

}  // namespace

__attribute__((target("sha,sse4.1"))) void Sha256CompressShaNi(std::uint32_t (&state)[8], const unsigned char* data,
                                                               int blocks) {
    // a..d and e..h in memory order become (a, b, e, f) and (c, d, g, h), a in the top lane.
    const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xb1);
    const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1b);
    __m128i abef = _mm_alignr_epi8(dcba, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, dcba, 0xf0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        AllRounds(abef, cdgh, data, std::make_integer_sequence<int, 16>());
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1b);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xb1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xf0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace vorlan::detail

#else

namespace vorlan::detail {

void Sha256CompressShaNi(std::uint32_t (&state)[8], const unsigned char* data, int blocks) {
    Sha256CompressPortable(state, data, blocks);
}

}  // namespace vorlan::detail

#endif
