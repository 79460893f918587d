#include "vorlan/bignum/montgomeryifma.h"

#include <algorithm>

#include "vorlan/bignum/secretmodexp.h"
#include "vorlan/bignum/windowpower.h"
#include "vorlan/support/progress.h"
#include "vorlan/support/wipe.h"

#if defined(__x86_64__)
// g++ 12's AVX-512 intrinsics seed unused mask lanes with a self-initialised value, which
// its uninitialised-use warning reports wherever they are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
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

// r = a*b/2^(52D) + a multiple of m, by rows over the digits of b (operand scanning, the
// reduction interleaved). Each row adds b[i]*a and u*m, u chosen to clear digit 0, and moves
// the sum down one digit. vpmadd52luq/huq add the low and the high 52 bits of the products
// of 52-bit digits to 64-bit lanes, so the rows add without carrying; only digit 0, which
// u depends on, is kept whole in a scalar, and the vectors' digit 0 is left unused.
template <int D>
VORLAN_IFMA void AlmostMontgomery(Limb* r, const Limb* a, const Limb* b, const Limb* m, Limb k0) {
    constexpr int V = (D + 7) / 8;
    __m512i av[V], mv[V], acc[V];
    for (int v = 0; v < V; ++v) {
        av[v] = _mm512_loadu_si512(a + 8 * v);
        mv[v] = _mm512_loadu_si512(m + 8 * v);
        acc[v] = _mm512_setzero_si512();
    }
    Limb low = 0;  // digit 0 of the sum
    for (int i = 0; i < D; ++i) {
        const Limb bi = b[i];
        DLimb t = static_cast<DLimb>(a[0]) * bi + low;
        const Limb u = (static_cast<Limb>(t) * k0) & kMask52;
        t += static_cast<DLimb>(m[0]) * u;
        low = static_cast<Limb>(t >> 52);
        const __m512i bv = _mm512_set1_epi64(static_cast<long long>(bi));
        const __m512i uv = _mm512_set1_epi64(static_cast<long long>(u));
        for (int v = 0; v < V; ++v) {
            acc[v] = _mm512_madd52lo_epu64(acc[v], av[v], bv);
            acc[v] = _mm512_madd52lo_epu64(acc[v], mv[v], uv);
        }
        for (int v = 0; v + 1 < V; ++v) acc[v] = _mm512_alignr_epi64(acc[v + 1], acc[v], 1);
        acc[V - 1] = _mm512_alignr_epi64(_mm512_setzero_si512(), acc[V - 1], 1);
        low += static_cast<Limb>(_mm_cvtsi128_si64(_mm512_castsi512_si128(acc[0])));
        // The high halves land one digit up: after the move, at the same lane.
        for (int v = 0; v < V; ++v) {
            acc[v] = _mm512_madd52hi_epu64(acc[v], av[v], bv);
            acc[v] = _mm512_madd52hi_epu64(acc[v], mv[v], uv);
        }
    }
    acc[0] = _mm512_mask_set1_epi64(acc[0], 1, static_cast<long long>(low));
    Normalise<V>(acc);
    for (int v = 0; v < V; ++v) _mm512_storeu_si512(r + 8 * v, acc[v]);
}

// entry = powers[index] of count entries of 8V digits, reading every entry.
template <int V>
VORLAN_IFMA void SelectDigits(Limb* entry, const Limb* powers, int count, Limb index) {
    __m512i selected[V];
    for (int v = 0; v < V; ++v) selected[v] = _mm512_setzero_si512();
    for (int i = 0; i < count; ++i) {
        const __m512i mask = _mm512_set1_epi64(static_cast<long long>(EqualMask(static_cast<Limb>(i), index)));
        for (int v = 0; v < V; ++v)
            selected[v] = _mm512_or_si512(selected[v],
                                          _mm512_and_si512(_mm512_loadu_si512(powers + 8 * (i * V + v)), mask));
    }
    for (int v = 0; v < V; ++v) _mm512_storeu_si512(entry + 8 * v, selected[v]);
}

// The powers x^0..x^(2^w - 1) as almost Montgomery forms x^i*2^(52D) mod m on D digits,
// below 2m, the running value and the selected entry, wiped when they die.
template <int D>
class CDigitPowers {
public:
    static constexpr int kLanes = (D + 7) / 8 * 8;

    CDigitPowers(const CMontgomeryModulus& mod, int count) : m_count(count), m_k0(mod.minv & kMask52) {
        DigitsFromLimbs52(m_m, D, mod.m, mod.n);
    }
    CDigitPowers(const CDigitPowers&) = delete;
    CDigitPowers& operator=(const CDigitPowers&) = delete;
    ~CDigitPowers() {
        SecureWipe(m_m, sizeof m_m);
        SecureWipe(m_powers, sizeof(Limb) * kLanes * m_count);
        SecureWipe(m_acc, sizeof m_acc);
        SecureWipe(m_entry, sizeof m_entry);
    }

    // Entries 0 and 1 from rr = 2^(104D) mod m and x, both below m, of n limbs.
    void Begin(const Limb* rr, const Limb* x, int n) {
        DigitsFromLimbs52(m_entry, D, rr, n);
        DigitsFromLimbs52(m_acc, D, x, n);
        Product(m_powers[0], m_entry, kOne);
        Product(m_powers[1], m_acc, m_entry);
    }
    void Square(int to, int from) { Product(m_powers[to], m_powers[from], m_powers[from]); }
    void Multiply(int to, int a, int b) { Product(m_powers[to], m_powers[a], m_powers[b]); }
    void Select(Limb index) { SelectDigits<kLanes / 8>(m_entry, m_powers[0], m_count, index); }
    void Start() { std::copy(m_entry, m_entry + kLanes, m_acc); }
    void SquareRunning() { Product(m_acc, m_acc, m_acc); }
    void MultiplyRunning() { Product(m_acc, m_acc, m_entry); }
    // The running value's x^e mod m, below m, on n limbs. Its product with 1 is at most m,
    // and m only for a multiple of m.
    void Finish(Limb* r, const Limb* m, int n) {
        Product(m_acc, m_acc, kOne);
        LimbsFromDigits52(r, n, m_acc, D);
        SubtractIfNotBelow(r, r, m, n);
    }

private:
    void Product(Limb* r, const Limb* a, const Limb* b) {
        __checkKillThreadFlag();
        AlmostMontgomery<D>(r, a, b, m_m, m_k0);
    }

    static constexpr Limb kOne[kLanes] = {1};

    int m_count;
    Limb m_k0;
    alignas(64) Limb m_m[kLanes];
    alignas(64) Limb m_powers[1 << 5][kLanes];
    alignas(64) Limb m_acc[kLanes];
    alignas(64) Limb m_entry[kLanes];
};

template <int D>
void PowerOnDigits(CMontgomeryDomain& domain, Limb* r, const Limb* x, const Limb* e, int ebits) {
    const CMontgomeryModulus& mod = domain.Modulus();
    const int w = WindowBits(ebits);
    CDigitPowers<D> powers(mod, 1 << w);
    // 2^(104D) mod m by the domain's products: 2^k entered twice is 2^k*R^2, and R^2*2^k is
    // 2^(104D) for k = 2(52D - 64n), below 64n.
    CWipedLimbs<kMaxModLimbs> rr{}, residue;
    const int k = 2 * (52 * D - 64 * mod.n);
    rr.data[k / 64] = Limb{1} << (k % 64);
    domain.Enter(rr.data, rr.data);
    domain.Enter(rr.data, rr.data);
    domain.Residue(rr.data, rr.data);
    domain.Residue(residue.data, x);
    powers.Begin(rr.data, residue.data, mod.n);
    PowerByWindows(powers, e, ebits, w);
    powers.Finish(r, mod.m, mod.n);
}

#endif

}  // namespace

#if defined(__x86_64__)

bool HasIfma() {
    static const bool ifma = __builtin_cpu_supports("avx512ifma") && __builtin_cpu_supports("avx512vl");
    return ifma;
}

AlmostMontgomeryFunction IfmaAlmostMontgomery(int n) {
    switch (n) {
        case 8:
            return AlmostMontgomery<IfmaDigits(8)>;
        case 16:
            return AlmostMontgomery<IfmaDigits(16)>;
        case 24:
            return AlmostMontgomery<IfmaDigits(24)>;
        default:
            return AlmostMontgomery<IfmaDigits(32)>;
    }
}

void IfmaSecretModExp(CMontgomeryDomain& domain, Limb* r, const Limb* x, const Limb* e, int ebits) {
    switch (domain.Length()) {
        case 8:
            return PowerOnDigits<IfmaDigits(8)>(domain, r, x, e, ebits);
        case 16:
            return PowerOnDigits<IfmaDigits(16)>(domain, r, x, e, ebits);
        case 24:
            return PowerOnDigits<IfmaDigits(24)>(domain, r, x, e, ebits);
        default:
            return PowerOnDigits<IfmaDigits(32)>(domain, r, x, e, ebits);
    }
}

#else

bool HasIfma() { return false; }

AlmostMontgomeryFunction IfmaAlmostMontgomery(int) { return nullptr; }

void IfmaSecretModExp(CMontgomeryDomain&, Limb*, const Limb*, const Limb*, int) {}

#endif

bool HasIfmaPowers(int n) { return HasUnrolledKernels(n) && HasIfma(); }

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
