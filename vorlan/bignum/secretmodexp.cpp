#include "vorlan/bignum/secretmodexp.h"

#include <algorithm>

#include "vorlan/support/wipe.h"

namespace vorlan::detail {
namespace {

// The compiler must not turn a mask back into a branch: it cannot see through this.
Limb ValueBarrier(Limb x) {
    __asm__("" : "+r"(x));
    return x;
}

// Window width by exponent size: 2^w table entries against ebits / w products.
int WindowBits(int ebits) { return ebits > 512 ? 5 : ebits > 128 ? 4 : 3; }

// Bits lo..lo+w-1 of e (limbs of 64 bits, elimbs of them); a public position, a secret value.
Limb Window(const Limb* e, int elimbs, int lo, int w) {
    const int i = lo / 64, shift = lo % 64;
    Limb bits = e[i] >> shift;
    if (shift + w > 64 && i + 1 < elimbs) bits |= e[i + 1] << (64 - shift);
    return bits & ((Limb{1} << w) - 1);
}

// entry = powers[index] of count entries of n limbs, reading every entry. Fixed lengths
// keep the selected entry in vector registers.
template <int N>
[[gnu::always_inline]] inline void SelectFixed(Limb* entry, const Limb* powers, int count, int, Limb index) {
    Limb selected[N] = {};
    for (int i = 0; i < count; ++i) {
        const Limb mask = EqualMask(static_cast<Limb>(i), index);
        for (int j = 0; j < N; ++j) selected[j] |= powers[i * N + j] & mask;
    }
    std::copy(selected, selected + N, entry);
}

#if defined(__x86_64__)
template <int N>
__attribute__((target("avx2"))) void SelectFixedAvx2(Limb* entry, const Limb* powers, int count, int n, Limb index) {
    SelectFixed<N>(entry, powers, count, n, index);
}

#endif

template <int N>
void SelectFixedDefault(Limb* entry, const Limb* powers, int count, int n, Limb index) {
    SelectFixed<N>(entry, powers, count, n, index);
}

void SelectAny(Limb* entry, const Limb* powers, int count, int n, Limb index) {
    std::fill(entry, entry + n, 0);
    for (int i = 0; i < count; ++i) {
        const Limb mask = EqualMask(static_cast<Limb>(i), index);
        for (int j = 0; j < n; ++j) entry[j] |= powers[i * n + j] & mask;
    }
}

using SelectEntry = void (*)(Limb* entry, const Limb* powers, int count, int n, Limb index);

template <int N>
SelectEntry SelectFor() {
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return SelectFixedAvx2<N>;
#endif
    return SelectFixedDefault<N>;
}

SelectEntry SelectFunction(int n) {
    switch (n) {
        case 8:
            return SelectFor<8>();
        case 16:
            return SelectFor<16>();
        case 24:
            return SelectFor<24>();
        case 32:
            return SelectFor<32>();
        default:
            return SelectAny;
    }
}

// The powers x^0..x^(2^w - 1) in Montgomery form, the running value and the selected
// entry, wiped when they die.
struct CWindowTable {
    CWindowTable(int count, int n) : count(count), n(n), select(SelectFunction(n)) {}
    CWindowTable(const CWindowTable&) = delete;
    CWindowTable& operator=(const CWindowTable&) = delete;
    ~CWindowTable() {
        SecureWipe(powers, sizeof(Limb) * count * n);
        SecureWipe(acc, sizeof acc);
        SecureWipe(entry, sizeof entry);
    }

    // entry = powers[index], reading every entry.
    void Select(Limb index) { select(entry, powers, count, n, index); }

    int count;
    int n;
    SelectEntry select;
    Limb powers[(1 << 5) * kMaxSecretLimbs];
    Limb acc[kMaxSecretLimbs];
    Limb entry[kMaxSecretLimbs];
};

}  // namespace

Limb EqualMask(Limb a, Limb b) {
    const Limb d = a ^ b;
    return ValueBarrier(((d | (0 - d)) >> 63) - 1);
}

void SecretModExp(CMontgomeryDomain& domain, Limb* r, const Limb* x, const Limb* e, int ebits) {
    const int n = domain.Length();
    const int w = WindowBits(ebits);
    CWindowTable table(1 << w, n);
    domain.One(table.powers);
    domain.Enter(table.powers + n, x);
    for (int i = 2; i < table.count; ++i) {
        Limb* power = table.powers + i * n;
        if (i % 2 == 0)
            domain.Sqr(power, table.powers + i / 2 * n);
        else
            domain.Mul(power, power - n, table.powers + n);
    }
    // Windows from the top; the first one holds what is left over below the others.
    const int elimbs = ebits / 64;
    int lo = (ebits - 1) / w * w;
    table.Select(Window(e, elimbs, lo, w));
    std::copy(table.entry, table.entry + n, table.acc);
    while (lo > 0) {
        lo -= w;
        for (int k = 0; k < w; ++k) domain.Sqr(table.acc, table.acc);
        table.Select(Window(e, elimbs, lo, w));
        domain.Mul(table.acc, table.acc, table.entry);
    }
    domain.Leave(r, table.acc);
}

}  // namespace vorlan::detail
