// Montgomery arithmetic modulo an odd m of n limbs, R = 2^(64n): the modular products of
// the exponentiations. The operations run the same instructions on the same addresses
// whatever the values and the modulus, so the modulus may be secret (an RSA prime).
#pragma once

#include "vorlan/bignum/montgomery.h"

namespace vorlan::detail {

// Moduli of exponentiation: at most kMaxOperandDigits digits.
inline constexpr int kMaxModLimbs = CHugeDigit::kMaxOperandDigits / 2;

// Values are held below R, not always below m; Leave and Residue give them fully reduced.
// The modulus may have leading zero limbs.
class CMontgomeryDomain {
public:
    // R^2 mod m by division, whose time depends on m: for a public modulus.
    CMontgomeryDomain(const Limb* m, int n);
    // From wn <= 2n limbs w congruent to R^4 modulo m (R^4 reduced modulo a public
    // multiple of m): no division by m.
    CMontgomeryDomain(const Limb* m, int n, const Limb* w, int wn);
    CMontgomeryDomain(const CMontgomeryDomain&) = delete;
    CMontgomeryDomain& operator=(const CMontgomeryDomain&) = delete;
    ~CMontgomeryDomain();

    int Length() const { return m_modulus.n; }
    const CMontgomeryModulus& Modulus() const { return m_modulus; }

    // a*b/R and a*a/R for operands below R; r may be an operand. Each is a cancellation point.
    void Mul(Limb* r, const Limb* a, const Limb* b);
    void Sqr(Limb* r, const Limb* a);
    // t/R for the 2n limbs of t, below R^2; t is overwritten.
    void Reduce(Limb* r, Limb* t);
    // x*R mod m: the Montgomery form of x.
    void Enter(Limb* r, const Limb* x) { Mul(r, x, m_rr); }
    // x/R mod m, below m: the value of a Montgomery form.
    void Leave(Limb* r, const Limb* x);
    // x mod m, below m.
    void Residue(Limb* r, const Limb* x);
    // R mod m: the Montgomery form of 1.
    void One(Limb* r) { Leave(r, m_rr); }

private:
    void SetModulus(const Limb* m, int n);

    CMontgomeryKernels m_kernels;
    CMontgomeryModulus m_modulus{};
    Limb m_m[kMaxModLimbs];
    Limb m_rr[kMaxModLimbs];  // R^2 mod m
    Limb m_t[2 * kMaxModLimbs + 1];
};

// r = a - m when a >= m, else a, for n limbs; the same instructions either way.
void SubtractIfNotBelow(Limb* r, const Limb* a, const Limb* m, int n);

}  // namespace vorlan::detail
