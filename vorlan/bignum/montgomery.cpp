#include "vorlan/bignum/montgomery.h"

#include <algorithm>

#include "vorlan/bignum/montgomerykernel.h"

namespace vorlan::detail {
namespace {

// Rows of any length by the general limb kernels.
class CPortableRows {
public:
    explicit CPortableRows(int n) : m_n(n) {}

    int Length() const { return m_n; }
    Limb Mul(Limb* t, const Limb* x, Limb y) const {
        std::fill(t, t + m_n, 0);
        return MulAddRow(t, x, m_n, y);
    }
    Limb MulAdd(Limb* t, const Limb* x, Limb y) const { return MulAddRow(t, x, m_n, y); }
    void Square(Limb* t, const Limb* a) const { SqrLimbs(t, a, m_n); }

private:
    int m_n;
};

using CPortableKernel = CMontgomeryKernel<CPortableRows>;

}  // namespace

CMontgomeryKernels PortableMontgomeryKernels() {
    return {CPortableKernel::Mul, CPortableKernel::Sqr, CPortableKernel::Reduce};
}

CMontgomeryKernels MontgomeryKernels(int n) {
    static const bool mulxAdx = HasMulxAdx();
    return mulxAdx && HasUnrolledKernels(n) ? MulxAdxMontgomeryKernels(n) : PortableMontgomeryKernels();
}

}  // namespace vorlan::detail
