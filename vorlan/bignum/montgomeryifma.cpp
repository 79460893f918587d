#include "vorlan/bignum/montgomeryifma.h"

#include <algorithm>
#include <type_traits>

#include "vorlan/bignum/secretmodexp.h"
#include "vorlan/bignum/windowpower.h"
#include "vorlan/support/progress.h"
#include "vorlan/support/wipe.h"

#if defined(__x86_64__)
// g++ 12's AVX-512 intrinsics seed unused mask lanes with a self-initialised value, which
// its uninitialised-use warnings report wherever they are inlined.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#endif

namespace vorlan::detail {
namespace {

constexpr Limb kMask52 = (Limb{1} << 52) - 1;

#if defined(__x86_64__)
#define VORLAN_IFMA __attribute__((target("avx512f,avx512ifma,avx512vl")))

// Digits of up to 2^60 (the sums of up to 40 rows of products) brought below 2^52. The
// first step moves each digit's carry (below 2^8) up one place; then a digit carries at
// most 1, and the carries run through digits of all ones. As a carry-lookahead adder does,
// one integer addition of the masks of digits above 2^52 - 1 (generating a carry) and of
// those equal to it (passing one on) gives every digit's carry in, without a branch.
template <int V>
VORLAN_IFMA inline void Normalise(__m512i* acc) {
    const __m512i mask = _mm512_set1_epi64(static_cast<long long>(kMask52));
    __m512i carry[V];
    for (int v = 0; v < V; ++v) {
        carry[v] = _mm512_srli_epi64(acc[v], 52);
        acc[v] = _mm512_and_si512(acc[v], mask);
    }
    for (int v = 0; v < V; ++v)
        acc[v] = _mm512_add_epi64(acc[v], _mm512_alignr_epi64(carry[v], v ? carry[v - 1] : _mm512_setzero_si512(), 7));
    Limb generate = 0, propagate = 0;
    for (int v = 0; v < V; ++v) {
        generate |= static_cast<Limb>(_mm512_cmpgt_epu64_mask(acc[v], mask)) << (8 * v);
        propagate |= static_cast<Limb>(_mm512_cmpeq_epu64_mask(acc[v], mask)) << (8 * v);
    }
    const Limb carries = ((generate << 1) + propagate) ^ propagate;
    // x - (2^52 - 1) is x + 1 modulo 2^52.
    for (int v = 0; v < V; ++v)
        acc[v] = _mm512_and_si512(
            _mm512_mask_sub_epi64(acc[v], static_cast<__mmask8>(carries >> (8 * v)), acc[v], mask), mask);
}

// One almost Montgomery product of several run together.
struct CDigitProduct {
    Limb* r;
    const Limb* a;
    const Limb* b;
    const Limb* m;
    Limb k0;
};

// r = a*b/2^(52D) + a multiple of m for each of K products, by rows over the digits of b
// (operand scanning, the reduction interleaved). Each row adds b[i]*a and u*m, u chosen to
// clear digit 0, and moves the sum down one digit. vpmadd52luq/huq add the low and the high
// 52 bits of the products of 52-bit digits to 64-bit lanes, so the rows add without carrying;
// only digit 0, which u depends on, is kept whole in a scalar, and the vectors' digit 0 is
// left unused. The K products' rows interleave: each waits on its u in turn. Vectors of 4
// digits, not 8: processors that run 8 as two halves (AMD's) move them across lanes slower.
template <int D, int K>
VORLAN_IFMA void AlmostMontgomery(const CDigitProduct* p) {
    constexpr int V = (D + 3) / 4;
    __m256i av[K][V], mv[K][V], acc[K][V];
    Limb low[K];  // digit 0 of each sum
#pragma GCC unroll 8
    for (int k = 0; k < K; ++k) {
#pragma GCC unroll 16
        for (int v = 0; v < V; ++v) {
            av[k][v] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p[k].a + 4 * v));
            mv[k][v] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p[k].m + 4 * v));
            acc[k][v] = _mm256_setzero_si256();
        }
        low[k] = 0;
    }
    for (int i = 0; i < D; ++i) {
#pragma GCC unroll 8
        for (int k = 0; k < K; ++k) {
            const Limb bi = p[k].b[i];
            DLimb t = static_cast<DLimb>(p[k].a[0]) * bi + low[k];
            const Limb u = (static_cast<Limb>(t) * p[k].k0) & kMask52;
            t += static_cast<DLimb>(p[k].m[0]) * u;
            low[k] = static_cast<Limb>(t >> 52);
            const __m256i bv = _mm256_set1_epi64x(static_cast<long long>(bi));
            const __m256i uv = _mm256_set1_epi64x(static_cast<long long>(u));
            __m256i* sum = acc[k];
#pragma GCC unroll 16
            for (int v = 0; v < V; ++v)
                sum[v] = _mm256_madd52lo_epu64(_mm256_madd52lo_epu64(sum[v], av[k][v], bv), mv[k][v], uv);
#pragma GCC unroll 16
            for (int v = 0; v + 1 < V; ++v) sum[v] = _mm256_alignr_epi64(sum[v + 1], sum[v], 1);
            sum[V - 1] = _mm256_alignr_epi64(_mm256_setzero_si256(), sum[V - 1], 1);
            low[k] += static_cast<Limb>(_mm_cvtsi128_si64(_mm256_castsi256_si128(sum[0])));
            // The high halves land one digit up: after the move, at the same lane.
#pragma GCC unroll 16
            for (int v = 0; v < V; ++v)
                sum[v] = _mm256_madd52hi_epu64(_mm256_madd52hi_epu64(sum[v], av[k][v], bv), mv[k][v], uv);
        }
    }
    // Normalised in vectors of 8 digits, the unused ones zero.
    constexpr int W = (V + 1) / 2;
#pragma GCC unroll 8
    for (int k = 0; k < K; ++k) {
        __m512i sum[W];
#pragma GCC unroll 8
        for (int w = 0; w < W; ++w)
            sum[w] = 2 * w + 1 < V ? _mm512_inserti64x4(_mm512_castsi256_si512(acc[k][2 * w]), acc[k][2 * w + 1], 1)
                                   : _mm512_zextsi256_si512(acc[k][2 * w]);
        sum[0] = _mm512_mask_set1_epi64(sum[0], 1, static_cast<long long>(low[k]));
        Normalise<W>(sum);
#pragma GCC unroll 8
        for (int w = 0; w < W; ++w) _mm512_storeu_si512(p[k].r + 8 * w, sum[w]);
    }
}

template <int D>
VORLAN_IFMA void AlmostMontgomeryOne(Limb* r, const Limb* a, const Limb* b, const Limb* m, Limb k0) {
    const CDigitProduct product{r, a, b, m, k0};
    AlmostMontgomery<D, 1>(&product);
}

// entry = powers[index] of count entries of D digits, kLanes apart, reading every entry; the
// mask of each entry computed in the vector as EqualMask does.
template <int D, int kLanes>
VORLAN_IFMA void SelectDigits(Limb* entry, const Limb* powers, int count, Limb index) {
    constexpr int V = (D + 3) / 4;
    __m256i selected[V];
    for (int v = 0; v < V; ++v) selected[v] = _mm256_setzero_si256();
    const __m256i wanted = _mm256_set1_epi64x(static_cast<long long>(index));
    const __m256i one = _mm256_set1_epi64x(1);
    __m256i i = _mm256_setzero_si256();
    for (int e = 0; e < count; ++e, i = _mm256_add_epi64(i, one)) {
        const __m256i d = _mm256_xor_si256(i, wanted);
        const __m256i mask = _mm256_sub_epi64(
            _mm256_srli_epi64(_mm256_or_si256(d, _mm256_sub_epi64(_mm256_setzero_si256(), d)), 63), one);
        const Limb* power = powers + e * kLanes;
        for (int v = 0; v < V; ++v)
            selected[v] = _mm256_or_si256(
                selected[v],
                _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(power + 4 * v)), mask));
    }
    for (int v = 0; v < V; ++v) _mm256_storeu_si256(reinterpret_cast<__m256i*>(entry + 4 * v), selected[v]);
}

// For each of K exponentiations: the powers x^0..x^(2^w - 1) as almost Montgomery forms
// x^i*2^(52D) mod m on D digits, below 2m, the running value and the selected entry, wiped
// when they die. The products of the K run together.
template <int D, int K>
class CDigitPowers {
public:
    static constexpr int kLanes = (D + 7) / 8 * 8;

    CDigitPowers(const CSecretPower* powers, int count, int ebits) : m_count(count), m_elimbs(ebits / 64) {
        for (int k = 0; k < K; ++k) {
            const CMontgomeryModulus& mod = powers[k].domain->Modulus();
            DigitsFromLimbs52(m_t[k].m, D, mod.m, mod.n);
            m_t[k].k0 = mod.minv & kMask52;
            m_t[k].e = powers[k].e;
        }
    }
    CDigitPowers(const CDigitPowers&) = delete;
    CDigitPowers& operator=(const CDigitPowers&) = delete;
    ~CDigitPowers() { SecureWipe(m_t, sizeof m_t); }

    // Entries 0 and 1 of exponentiation k from rr = 2^(104D) mod m and x, both below m, of n limbs.
    void Begin(int k, const Limb* rr, const Limb* x, int n) {
        CTable& t = m_t[k];
        DigitsFromLimbs52(t.entry, D, rr, n);
        DigitsFromLimbs52(t.acc, D, x, n);
        AlmostMontgomeryOne<D>(t.powers[0], t.entry, kOne, t.m, t.k0);
        AlmostMontgomeryOne<D>(t.powers[1], t.acc, t.entry, t.m, t.k0);
    }
    void Square(int to, int from) { Multiply(to, from, from); }
    void Multiply(int to, int a, int b) {
        CDigitProduct products[K];
        for (int k = 0; k < K; ++k)
            products[k] = {m_t[k].powers[to], m_t[k].powers[a], m_t[k].powers[b], m_t[k].m, m_t[k].k0};
        Run(products);
    }
    void Select(int lo, int w) {
        for (CTable& t : m_t) SelectDigits<D, kLanes>(t.entry, t.powers[0], m_count, Window(t.e, m_elimbs, lo, w));
    }
    void Start() {
        for (CTable& t : m_t) std::copy(t.entry, t.entry + kLanes, t.acc);
    }
    void SquareRunning() { Running(&CTable::acc); }
    void MultiplyRunning() { Running(&CTable::entry); }
    // The running value of exponentiation k, x^e mod m, below m, on n limbs. Its product
    // with 1 is at most m, and m only for a multiple of m.
    void Finish(int k, Limb* r, const Limb* m, int n) {
        CTable& t = m_t[k];
        AlmostMontgomeryOne<D>(t.acc, t.acc, kOne, t.m, t.k0);
        LimbsFromDigits52(r, n, t.acc, D);
        SubtractIfNotBelow(r, r, m, n);
    }

private:
    struct CTable {
        alignas(64) Limb m[kLanes];
        alignas(64) Limb powers[1 << 5][kLanes];
        alignas(64) Limb acc[kLanes];
        alignas(64) Limb entry[kLanes];
        Limb k0;
        const Limb* e;
    };

    // acc = acc * (the table's member by)
    void Running(Limb (CTable::*by)[kLanes]) {
        CDigitProduct products[K];
        for (int k = 0; k < K; ++k) products[k] = {m_t[k].acc, m_t[k].acc, m_t[k].*by, m_t[k].m, m_t[k].k0};
        Run(products);
    }
    static void Run(const CDigitProduct* products) {
        __checkKillThreadFlag();
        AlmostMontgomery<D, K>(products);
    }

    static constexpr Limb kOne[kLanes] = {1};

    int m_count;
    int m_elimbs;
    CTable m_t[K]{};
};

// 2^(104D) mod m by the domain's products: 2^j entered twice is 2^j*R^2, which is 2^(104D)
// for j = 2(52D - 64n), below 64n.
template <int D>
void DigitSquareOfR(CMontgomeryDomain& domain, Limb* rr) {
    const int n = domain.Length();
    const int j = 2 * (52 * D - 64 * n);
    std::fill(rr, rr + n, 0);
    rr[j / 64] = Limb{1} << (j % 64);
    domain.Enter(rr, rr);
    domain.Enter(rr, rr);
    domain.Residue(rr, rr);
}

template <int D, int K>
void PowersOnDigits(const CSecretPower (&powers)[K], int ebits) {
    const int w = WindowBits(ebits);
    CDigitPowers<D, K> table(powers, 1 << w, ebits);
    for (int k = 0; k < K; ++k) {
        CMontgomeryDomain& domain = *powers[k].domain;
        CWipedLimbs<kMaxModLimbs> rr, residue;
        DigitSquareOfR<D>(domain, rr.data);
        domain.Residue(residue.data, powers[k].x);
        table.Begin(k, rr.data, residue.data, domain.Length());
    }
    PowerByWindows(table, ebits, w);
    for (int k = 0; k < K; ++k) table.Finish(k, powers[k].r, powers[k].domain->Modulus().m, powers[k].domain->Length());
}

// f(digits) with the count of digits for n limbs as a constant, for the n of HasIfmaLength.
template <class F>
auto WithDigits(int n, F f) {
    switch (n) {
        case 8:
            return f(std::integral_constant<int, IfmaDigits(8)>());
        case 16:
            return f(std::integral_constant<int, IfmaDigits(16)>());
        case 24:
            return f(std::integral_constant<int, IfmaDigits(24)>());
        default:
            return f(std::integral_constant<int, IfmaDigits(32)>());
    }
}

template <int K>
void PowersOnDigits(const CSecretPower (&powers)[K], int ebits) {
    WithDigits(powers[0].domain->Length(), [&](auto d) { PowersOnDigits<d(), K>(powers, ebits); });
}

#endif

}  // namespace

#if defined(__x86_64__)

bool HasIfma() {
    static const bool ifma =
        (__builtin_cpu_init(), __builtin_cpu_supports("avx512ifma") && __builtin_cpu_supports("avx512vl"));
    return ifma;
}

AlmostMontgomeryFunction IfmaAlmostMontgomery(int n) {
    return WithDigits(n, [](auto d) -> AlmostMontgomeryFunction { return AlmostMontgomeryOne<d()>; });
}

void IfmaSecretModExp(const CSecretPower (&one)[1], int ebits) { PowersOnDigits(one, ebits); }

void IfmaSecretModExp(const CSecretPower (&pair)[2], int ebits) { PowersOnDigits(pair, ebits); }

#else

bool HasIfma() { return false; }

AlmostMontgomeryFunction IfmaAlmostMontgomery(int) { return nullptr; }

void IfmaSecretModExp(const CSecretPower (&)[1], int) {}

void IfmaSecretModExp(const CSecretPower (&)[2], int) {}

#endif

bool HasIfmaLength(int n) { return n == 8 || n == 16 || n == 24 || n == 32; }

bool HasIfmaPowers(int n) { return HasIfmaLength(n) && HasIfma(); }

void DigitsFromLimbs52(Limb* digits, int d, const Limb* a, int n) {
    for (int j = 0; j < (d + 7) / 8 * 8; ++j) {
        const int i = 52 * j / 64, shift = 52 * j % 64;
        Limb digit = i < n ? a[i] >> shift : 0;
        if (shift > 12 && i + 1 < n) digit |= a[i + 1] << (64 - shift);
        digits[j] = j < d ? digit & kMask52 : 0;
    }
}

void LimbsFromDigits52(Limb* a, int n, const Limb* digits, int d) {
    for (int i = 0; i < n; ++i) {
        const int j = 64 * i / 52, shift = 64 * i % 52;
        Limb limb = digits[j] >> shift;
        for (int k = j + 1; k < d && 52 * k < 64 * i + 64; ++k) limb |= digits[k] << (52 * k - 64 * i);
        a[i] = limb;
    }
}

}  // namespace vorlan::detail
