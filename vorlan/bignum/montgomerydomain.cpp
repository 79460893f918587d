#include "vorlan/bignum/montgomerydomain.h"

#include <algorithm>

#include "vorlan/support/progress.h"
#include "vorlan/support/wipe.h"

namespace vorlan::detail {

CMontgomeryDomain::CMontgomeryDomain(const Limb* m, int n) {
    SetModulus(m, n);
    std::fill(m_t, m_t + 2 * n, 0);
    m_t[2 * n] = 1;
    DivModLimbs(nullptr, m_rr, m_t, 2 * n + 1, m, n);
}

CMontgomeryDomain::CMontgomeryDomain(const Limb* m, int n, const Limb* w, int wn) {
    SetModulus(m, n);
    std::copy(w, w + wn, m_t);
    std::fill(m_t + wn, m_t + 2 * n, 0);
    Reduce(m_rr, m_t);  // R^3, below R
    Leave(m_rr, m_rr);  // R^2
}

CMontgomeryDomain::~CMontgomeryDomain() {
    const int n = m_modulus.n;
    SecureWipe(m_m, sizeof(Limb) * n);
    SecureWipe(m_rr, sizeof(Limb) * n);
    SecureWipe(m_t, sizeof(Limb) * (2 * n + 1));
}

void CMontgomeryDomain::SetModulus(const Limb* m, int n) {
    std::copy(m, m + n, m_m);
    // m^-1 mod 2^64 by Newton's iteration: m*m = 1 mod 8, and each step doubles the
    // count of correct low bits.
    Limb inverse = m[0];
    for (int i = 0; i < 5; ++i) inverse *= 2 - m[0] * inverse;
    m_modulus = {m_m, n, 0 - inverse};
    m_kernels = MontgomeryKernels(n);
}

void CMontgomeryDomain::Mul(Limb* r, const Limb* a, const Limb* b) {
    __checkKillThreadFlag();
    m_kernels.mul(r, a, b, m_modulus, m_t);
}

void CMontgomeryDomain::Sqr(Limb* r, const Limb* a) {
    __checkKillThreadFlag();
    m_kernels.sqr(r, a, m_modulus, m_t);
}

void CMontgomeryDomain::Reduce(Limb* r, Limb* t) { m_kernels.reduce(r, t, m_modulus); }

void CMontgomeryDomain::Leave(Limb* r, const Limb* x) {
    // x*1/R is at most m, and m only for x = 0 mod m.
    static constexpr Limb kOne[kMaxModLimbs] = {1};
    Mul(r, x, kOne);
    SubtractIfNotBelow(r, r, m_m, m_modulus.n);
}

void CMontgomeryDomain::Residue(Limb* r, const Limb* x) {
    Enter(r, x);
    Leave(r, r);
}

void SubtractIfNotBelow(Limb* r, const Limb* a, const Limb* m, int n) {
    Limb difference[kMaxModLimbs];
    const Limb keep = 0 - SubLimbs(difference, a, m, n);  // all ones when a < m
    for (int i = 0; i < n; ++i) r[i] = (a[i] & keep) | (difference[i] & ~keep);
    SecureWipe(difference, sizeof(Limb) * n);
}

}  // namespace vorlan::detail
