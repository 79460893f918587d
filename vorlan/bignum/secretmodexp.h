// Modular exponentiation for secret exponents and moduli (the RSA private operation):
// fixed windows, each window's power read by scanning the whole table with masks, and
// Montgomery products without a data-dependent step, so that neither the instructions
// run nor the addresses read depend on the exponent, the base or the modulus.
#pragma once

#include "vorlan/bignum/montgomerydomain.h"

namespace vorlan::detail {

// Secret moduli: up to 4,096 bits, the RSA key size.
inline constexpr int kMaxSecretLimbs = 64;

// r = x^e mod m, below m, for x below R and the ebits low bits of e (ebits a multiple
// of 64, e of ebits / 64 limbs); the domain has at most kMaxSecretLimbs limbs.
void SecretModExp(CMontgomeryDomain& domain, Limb* r, const Limb* x, const Limb* e, int ebits);
// The same on the domain's own products, whatever the processor has.
void LimbSecretModExp(CMontgomeryDomain& domain, Limb* r, const Limb* x, const Limb* e, int ebits);

// One of several exponentiations run together: r = x^e mod the domain's modulus.
struct CSecretPower {
    CMontgomeryDomain* domain;
    Limb* r;
    const Limb* x;
    const Limb* e;
};
// Two independent exponentiations (RSA's two primes) with exponents of ebits bits, in
// domains of one length: interleaved where the processor gains by it.
void SecretModExpPair(const CSecretPower (&pair)[2], int ebits);

// All ones when a == b, else zero, without a branch.
Limb EqualMask(Limb a, Limb b);

}  // namespace vorlan::detail
