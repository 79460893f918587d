#include "vorlan/bignum/montgomery.h"

#include "vorlan/bignum/montgomerykernel.h"

namespace vorlan::detail {
namespace {

// Rows of any length by the general limb kernels.
class CPortableRows {
public:
    explicit CPortableRows(int n) : m_n(n) {}

    int Length() const { return m_n; }
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
