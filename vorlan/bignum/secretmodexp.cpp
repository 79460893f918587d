#include "vorlan/bignum/secretmodexp.h"

#include <algorithm>

#include "vorlan/bignum/montgomeryifma.h"
#include "vorlan/bignum/windowpower.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {
namespace {

// The compiler must not turn a mask back into a branch: it cannot see through this.
Limb ValueBarrier(Limb x) {
    __asm__("" : "+r"(x));
    return x;
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

// The powers x^0..x^(2^w - 1) in the domain's Montgomery form, the running value and the
// selected entry, wiped when they die.
class CDomainPowers {
public:
    CDomainPowers(CMontgomeryDomain& domain, int count, const Limb* e, int ebits)
        : m_domain(domain),
          m_count(count),
          m_n(domain.Length()),
          m_select(SelectFunction(m_n)),
          m_e(e),
          m_elimbs(ebits / 64) {}
    CDomainPowers(const CDomainPowers&) = delete;
    CDomainPowers& operator=(const CDomainPowers&) = delete;
    ~CDomainPowers() {
        SecureWipe(m_powers, sizeof(Limb) * m_count * m_n);
        SecureWipe(m_acc, sizeof m_acc);
        SecureWipe(m_entry, sizeof m_entry);
    }

    Limb* Entry(int i) { return m_powers + i * m_n; }
    void Square(int to, int from) { m_domain.Sqr(Entry(to), Entry(from)); }
    void Multiply(int to, int a, int b) { m_domain.Mul(Entry(to), Entry(a), Entry(b)); }
    void Select(int lo, int w) { m_select(m_entry, m_powers, m_count, m_n, Window(m_e, m_elimbs, lo, w)); }
    void Start() { std::copy(m_entry, m_entry + m_n, m_acc); }
    void SquareRunning() { m_domain.Sqr(m_acc, m_acc); }
    void MultiplyRunning() { m_domain.Mul(m_acc, m_acc, m_entry); }
    void Finish(Limb* r) { m_domain.Leave(r, m_acc); }

private:
    CMontgomeryDomain& m_domain;
    int m_count;
    int m_n;
    SelectEntry m_select;
    const Limb* m_e;
    int m_elimbs;
    Limb m_powers[(1 << 5) * kMaxSecretLimbs];
    Limb m_acc[kMaxSecretLimbs];
    Limb m_entry[kMaxSecretLimbs];
};

}  // namespace

Limb EqualMask(Limb a, Limb b) {
    const Limb d = a ^ b;
    return ValueBarrier(((d | (0 - d)) >> 63) - 1);
}

void LimbSecretModExp(CMontgomeryDomain& domain, Limb* r, const Limb* x, const Limb* e, int ebits) {
    const int w = WindowBits(ebits);
    CDomainPowers powers(domain, 1 << w, e, ebits);
    domain.One(powers.Entry(0));
    domain.Enter(powers.Entry(1), x);
    PowerByWindows(powers, ebits, w);
    powers.Finish(r);
}

void SecretModExp(CMontgomeryDomain& domain, Limb* r, const Limb* x, const Limb* e, int ebits) {
    const CSecretPower one[] = {{&domain, r, x, e}};
    if (HasIfmaPowers(domain.Length())) return IfmaSecretModExp(one, ebits);
    LimbSecretModExp(domain, r, x, e, ebits);
}

void SecretModExpPair(const CSecretPower (&pair)[2], int ebits) {
    if (HasIfmaPowers(pair[0].domain->Length())) return IfmaSecretModExp(pair, ebits);
    for (const CSecretPower& power : pair) LimbSecretModExp(*power.domain, power.r, power.x, power.e, ebits);
}

}  // namespace vorlan::detail
