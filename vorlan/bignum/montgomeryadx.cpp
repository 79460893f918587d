// Montgomery kernels for fixed limb counts with mulx and the two independent carry
// chains of adcx (carry flag) and adox (overflow flag): each row is one unrolled
// block, the low halves of the products added on one chain and the high halves on
// the other. The assembler repeats the row's steps (.rept), so each length is one
// instantiation.
#include "vorlan/bignum/montgomery.h"

#if defined(__x86_64__)
#include <cpuid.h>

#include <utility>

#include "vorlan/bignum/montgomerykernel.h"

namespace vorlan::detail {
namespace {

// t[0..L-1] += x[0..L-1] * y; the carry out.
template <int L>
inline Limb MulAddRow(Limb* t, const Limb* x, Limb y) {
    Limb lo, hi, acc;
    __asm__ volatile(
        "xorl %k[acc], %k[acc]\n\t"  // clears both carry flags
        "movq (%[t]), %[acc]\n\t"
        ".set .Lvorlan_j, 0\n\t"
        ".rept %c[len] - 1\n\t"
        "mulxq .Lvorlan_j*8(%[x]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[acc]\n\t"
        "movq %[acc], .Lvorlan_j*8(%[t])\n\t"
        "movq .Lvorlan_j*8+8(%[t]), %[acc]\n\t"
        "adoxq %[hi], %[acc]\n\t"
        ".set .Lvorlan_j, .Lvorlan_j+1\n\t"
        ".endr\n\t"
        "mulxq .Lvorlan_j*8(%[x]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[acc]\n\t"
        "movq %[acc], .Lvorlan_j*8(%[t])\n\t"
        "movl $0, %k[acc]\n\t"  // mov leaves the flags alone
        "adoxq %[hi], %[acc]\n\t"
        "movl $0, %k[lo]\n\t"
        "adcxq %[lo], %[acc]\n\t"
        : [acc] "=&r"(acc), [lo] "=&r"(lo), [hi] "=&r"(hi)
        : [t] "r"(t), [x] "r"(x), "d"(y), [len] "i"(L)
        : "cc", "memory");
    return acc;
}

// t[0..L-1] = x[0..L-1] * y without reading t; the high limb returned. The high half of
// each product waits in acc for the next low half, the carry on one chain.
template <int L>
inline Limb MulRow(Limb* t, const Limb* x, Limb y) {
    Limb lo, hi, acc;
    __asm__ volatile(
        "xorl %k[acc], %k[acc]\n\t"
        ".set .Lvorlan_j, 0\n\t"
        ".rept %c[len]\n\t"
        "mulxq .Lvorlan_j*8(%[x]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[acc]\n\t"
        "movq %[acc], .Lvorlan_j*8(%[t])\n\t"
        "movq %[hi], %[acc]\n\t"
        ".set .Lvorlan_j, .Lvorlan_j+1\n\t"
        ".endr\n\t"
        "movl $0, %k[lo]\n\t"
        "adcxq %[lo], %[acc]\n\t"
        : [acc] "=&r"(acc), [lo] "=&r"(lo), [hi] "=&r"(hi)
        : [t] "r"(t), [x] "r"(x), "d"(y), [len] "i"(L)
        : "cc", "memory");
    return acc;
}

// t[0..2N-1] = 2t + the squares a[i]^2 at limb 2i: the doubling on one chain, the
// squares on the other. The sum is a square below 2^(128N), so no carry remains.
template <int N>
inline void DoubleAddSquares(Limb* t, const Limb* a) {
    Limb lo, hi, acc;
    __asm__ volatile(
        "xorl %k[acc], %k[acc]\n\t"
        ".set .Lvorlan_i, 0\n\t"
        ".rept %c[len]\n\t"
        "movq .Lvorlan_i*8(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[hi]\n\t"
        "movq .Lvorlan_i*16(%[t]), %[acc]\n\t"
        "adcxq %[acc], %[acc]\n\t"
        "adoxq %[lo], %[acc]\n\t"
        "movq %[acc], .Lvorlan_i*16(%[t])\n\t"
        "movq .Lvorlan_i*16+8(%[t]), %[acc]\n\t"
        "adcxq %[acc], %[acc]\n\t"
        "adoxq %[hi], %[acc]\n\t"
        "movq %[acc], .Lvorlan_i*16+8(%[t])\n\t"
        ".set .Lvorlan_i, .Lvorlan_i+1\n\t"
        ".endr\n\t"
        : [acc] "=&r"(acc), [lo] "=&r"(lo), [hi] "=&r"(hi)
        : [t] "r"(t), [a] "r"(a), [len] "i"(N)
        : "rdx", "cc", "memory");
}

template <int N>
class CMulxAdxRows {
public:
    explicit CMulxAdxRows(int) {}

    static constexpr int Length() { return N; }
    static Limb Mul(Limb* t, const Limb* x, Limb y) { return MulRow<N>(t, x, y); }
    static Limb MulAdd(Limb* t, const Limb* x, Limb y) { return MulAddRow<N>(t, x, y); }
    // Cross products a[i]*a[j] (i < j) row by row, row i of N-1-i limbs from limb 2i+1;
    // the first row writes the limbs the others add to.
    static void Square(Limb* t, const Limb* a) {
        t[0] = 0;
        t[N] = MulRow<N - 1>(t + 1, a + 1, a[0]);
        t[2 * N - 1] = 0;
        CrossRows(t, a, std::make_integer_sequence<int, N - 2>());
        DoubleAddSquares<N>(t, a);
    }

private:
    template <int... I>
    static void CrossRows(Limb* t, const Limb* a, std::integer_sequence<int, I...>) {
        ((t[I + 1 + N] = MulAddRow<N - 2 - I>(t + 2 * I + 3, a + I + 2, a[I + 1])), ...);
    }
};

template <int N>
CMontgomeryKernels Kernels() {
    using Kernel = CMontgomeryKernel<CMulxAdxRows<N>>;
    return {Kernel::Mul, Kernel::Sqr, Kernel::Reduce};
}

}  // namespace

CMontgomeryKernels MulxAdxMontgomeryKernels(int n) {
    switch (n) {
        case 8:
            return Kernels<8>();
        case 16:
            return Kernels<16>();
        case 24:
            return Kernels<24>();
        case 32:
            return Kernels<32>();
        case 48:
            return Kernels<48>();
        case 64:
            return Kernels<64>();
        default:
            return PortableMontgomeryKernels();
    }
}

bool HasMulxAdx() {
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return (ebx & bit_BMI2) != 0 && (ebx & bit_ADX) != 0;
}

}  // namespace vorlan::detail

#else

namespace vorlan::detail {

CMontgomeryKernels MulxAdxMontgomeryKernels(int) { return PortableMontgomeryKernels(); }

bool HasMulxAdx() { return false; }

}  // namespace vorlan::detail

#endif
