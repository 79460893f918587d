// The Montgomery product and square over a policy of limb rows, shared by the
// portable kernels and the mulx/adcx/adox ones. Rows supplies Length(), MulAdd
// (t[0..n-1] += x[0..n-1]*y, the carry returned) and Square (t[0..2n-1] = a*a).
#pragma once

#include <cstring>

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
        std::memset(t, 0, sizeof(Limb) * n);
        Limb top = 0;
        for (int i = 0; i < n; ++i) {
            const Limb product = rows.MulAdd(t + i, a, b[i]);
            const Limb reduction = rows.MulAdd(t + i, mod.m, t[i] * mod.minv);
            const DLimb s = static_cast<DLimb>(top) + product + reduction;
            t[i + n] = static_cast<Limb>(s);
            top = static_cast<Limb>(s >> 64);
        }
        Finish(r, t + n, top, mod);
    }

    // The full square, then reduced one row per limb.
    static void Sqr(Limb* r, const Limb* a, const CMontgomeryModulus& mod, Limb* t) {
        const Rows rows(mod.n);
        const int n = rows.Length();
        rows.Square(t, a);
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
    // t + top*R is below R + m: one subtraction when top is set brings it below R.
    static void Finish(Limb* r, const Limb* t, Limb top, const CMontgomeryModulus& mod) {
        if (top)
            SubLimbs(r, t, mod.m, mod.n);
        else
            std::memcpy(r, t, sizeof(Limb) * mod.n);
    }
};

}  // namespace vorlan::detail
