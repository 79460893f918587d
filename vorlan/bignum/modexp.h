// Modular exponentiation on limbs: sliding windows over the exponent, Montgomery
// products for odd moduli and product-then-remainder for even ones.
#pragma once

#include "vorlan/bignum/montgomerydomain.h"

namespace vorlan::detail {

// r[0..n-1] = base^e mod m for base < m, m[n-1] != 0, n <= kMaxModLimbs, and an
// exponent e of ebits >= 1 significant bits in 32-bit digits.
void ModExpLimbs(Limb* r, const Limb* base, const DWORD* e, int ebits, const Limb* m, int n);

}  // namespace vorlan::detail
