// The Montgomery product, square and reduction over a policy of limb rows, shared by
// the portable kernels and the mulx/adcx/adox ones; nothing branches on the values.
// Rows supplies Length(), Mul (t[0..n-1] = x[0..n-1]*y) and MulAdd (t[0..n-1] +=
// x[0..n-1]*y), each returning the high limb, and Square (t[0..2n-1] = a*a).
#pragma once

#include "vorlan/bignum/montgomery.h"

namespace vorlan::detail {

template <class Rows>
struct CMontgomeryKernel {
    // Operand scanning with the reduction interleaved (CIOS): row i adds a*b[i] and
    // u*m, u chosen to clear limb i, so the running value moves up one limb per row
    // instead of being shifted. It stays below R + m: n limbs and a top bit.
    static void Mul(Limb* r, const Limb* a, const Limb* b, const CMontgomeryModulus& mod, Limb* t) {
        const Rows rows(mod.n);
        const int n = rows.Length();
        Limb top = 0;
        for (int i = 0; i < n; ++i) {
            const Limb product = i == 0 ? rows.Mul(t, a, b[0]) : rows.MulAdd(t + i, a, b[i]);
            const Limb reduction = rows.MulAdd(t + i, mod.m, t[i] * mod.minv);
            const DLimb s = static_cast<DLimb>(top) + product + reduction;
            t[i + n] = static_cast<Limb>(s);
            top = static_cast<Limb>(s >> 64);
        }
        Finish(r, t + n, top, mod);
    }

    // The full square, then reduced.
    static void Sqr(Limb* r, const Limb* a, const CMontgomeryModulus& mod, Limb* t) {
        Rows(mod.n).Square(t, a);
        Reduce(r, t, mod);
    }

    // r = t/R mod m for the 2n limbs of t below R^2 (t is overwritten), one row per limb:
    // the row adds u*m, u chosen to clear limb i.
    static void Reduce(Limb* r, Limb* t, const CMontgomeryModulus& mod) {
        const Rows rows(mod.n);
        const int n = rows.Length();
        Limb top = 0;
        for (int i = 0; i < n; ++i) {
            const Limb reduction = rows.MulAdd(t + i, mod.m, t[i] * mod.minv);
            const DLimb s = static_cast<DLimb>(t[i + n]) + reduction + top;
            t[i + n] = static_cast<Limb>(s);
            top = static_cast<Limb>(s >> 64);
        }
        Finish(r, t + n, top, mod);
    }

private:
    // t + top*R is below R + m: subtracting m when top is set brings it below R. The
    // subtraction always runs, of m or of zero, so that the time does not tell which.
    static void Finish(Limb* r, const Limb* t, Limb top, const CMontgomeryModulus& mod) {
        const Limb mask = 0 - top;
        Limb borrow = 0;
        for (int i = 0; i < mod.n; ++i) {
            const DLimb d = static_cast<DLimb>(t[i]) - (mod.m[i] & mask) - borrow;
            r[i] = static_cast<Limb>(d);
            borrow = static_cast<Limb>(d >> 64) & 1;
        }
    }
};

}  // namespace vorlan::detail
