// Montgomery products modulo an odd m of n limbs: r = a*b/R mod m with R = 2^(64n).
// Reduction is lazy: operands and results are below R, not necessarily below m, so
// the products skip the comparison with m; a caller brings its last result below m.
// A portable version for any n, and unrolled mulx/adcx/adox versions for the common
// sizes, chosen once at run time.
#pragma once

#include "vorlan/bignum/limbs.h"

namespace vorlan::detail {

struct CMontgomeryModulus {
    const Limb* m;
    int n;
    Limb minv;  // -m^-1 mod 2^64
};

// r may be a or b. scratch holds 2n limbs of intermediate values for the caller to wipe.
using MontgomeryMulFunction = void (*)(Limb* r, const Limb* a, const Limb* b, const CMontgomeryModulus& mod,
                                       Limb* scratch);
using MontgomerySqrFunction = void (*)(Limb* r, const Limb* a, const CMontgomeryModulus& mod, Limb* scratch);
// r = t/R mod m for the 2n limbs of t, below R^2; t is overwritten.
using MontgomeryReduceFunction = void (*)(Limb* r, Limb* t, const CMontgomeryModulus& mod);

struct CMontgomeryKernels {
    MontgomeryMulFunction mul;
    MontgomerySqrFunction sqr;
    MontgomeryReduceFunction reduce;
};

// The limb counts of RSA's moduli and CRT primes at 1,024 to 4,096 bits, and of
// 1,024-bit key generation's primes.
inline constexpr bool HasUnrolledKernels(int n) { return n == 8 || n == 16 || n == 24 || n == 32 || n == 48 || n == 64; }

CMontgomeryKernels PortableMontgomeryKernels();
// Only to be called when HasMulxAdx() and HasUnrolledKernels(n) are true.
CMontgomeryKernels MulxAdxMontgomeryKernels(int n);
// Whether this processor has the BMI2 and ADX instructions the unrolled kernels use.
bool HasMulxAdx();
// The fastest kernels this processor runs for n limbs.
CMontgomeryKernels MontgomeryKernels(int n);

}  // namespace vorlan::detail
