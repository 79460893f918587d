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

// The powers x^0..x^(2^w - 1) in Montgomery form, the running value and the selected
// entry, wiped when they die.
struct CWindowTable {
    CWindowTable(int count, int n) : count(count), n(n) {}
    CWindowTable(const CWindowTable&) = delete;
    CWindowTable& operator=(const CWindowTable&) = delete;
    ~CWindowTable() {
        SecureWipe(powers, sizeof(Limb) * count * n);
        SecureWipe(acc, sizeof acc);
        SecureWipe(entry, sizeof entry);
    }

    // entry = powers[index], reading every entry.
    void Select(Limb index) {
        std::fill(entry, entry + n, 0);
        for (int i = 0; i < count; ++i) {
            const Limb mask = EqualMask(static_cast<Limb>(i), index);
            const Limb* power = powers + i * n;
            for (int j = 0; j < n; ++j) entry[j] |= power[j] & mask;
        }
    }

    int count;
    int n;
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
