// Both sets of Montgomery kernels, portable and mulx/adcx/adox, against OpenSSL: the
// product and square of operands below R (at or above m too) must be congruent to
// a*b/R; being n limbs, they are below R.
#include "vorlan/bignum/montgomery.h"

#include <gtest/gtest.h>

#include <string>

#include "bn_oracle.h"

namespace {

using detail::Limb;

struct KernelPath {
    const char* name;
    detail::CMontgomeryKernels (*kernels)(int n);
    bool (*covers)(int n);
    friend void PrintTo(const KernelPath& path, std::ostream* os) { *os << path.name; }
};

class MontgomeryPath : public testing::TestWithParam<KernelPath> {};

BN FromLimbs(const Limb* x, int n) {
    return BN(BN_lebin2bn(reinterpret_cast<const unsigned char*>(x), static_cast<int>(sizeof(Limb)) * n, nullptr));
}

// Limbs of the shapes that reach the rare carries: random, all ones, top bit only.
class CLimbSource {
public:
    explicit CLimbSource(unsigned seed) : m_engine(seed) {}
    void Fill(Limb* x, int n, int shape) {
        for (int i = 0; i < n; ++i) x[i] = shape == 1 ? ~Limb{0} : shape == 2 ? Limb{1} << 63 : m_engine();
    }
    Limb Next() { return m_engine(); }

private:
    std::mt19937_64 m_engine;
};

TEST_P(MontgomeryPath, ProductsAreCongruentToProductOverR) {
    BNCtx ctx(BN_CTX_new());
    CLimbSource source(77);
    for (const int n : {1, 2, 3, 7, 8, 9, 15, 16, 17, 24, 31, 32, 33, 64, 128}) {
        if (!GetParam().covers(n)) continue;
        const detail::CMontgomeryKernels kernels = GetParam().kernels(n);
        for (int round = 0; round < 24; ++round) {
            Limb m[128], a[128], b[128], r[128], scratch[256];
            // Moduli just above R/2, random, and just below R (all ones).
            source.Fill(m, n, round % 3 == 1 ? 1 : 0);
            if (round % 3 == 0) m[n - 1] = Limb{1} << 63;
            m[0] |= 1;
            // Operands below m and at or above it (up to R - 1).
            source.Fill(a, n, round % 4 == 1 ? 1 : round % 4 == 2 ? 2 : 0);
            source.Fill(b, n, round % 5 == 1 ? 1 : 0);
            Limb inverse = m[0];
            for (int i = 0; i < 5; ++i) inverse *= 2 - m[0] * inverse;
            const detail::CMontgomeryModulus mod{m, n, 0 - inverse};

            const BN bm = FromLimbs(m, n);
            BN expected(BN_new());
            BN got(BN_new());
            BN rInverse(BN_new());
            BN power(BN_new());
            BN_set_bit(power.get(), 64 * n);
            BN_mod_inverse(rInverse.get(), power.get(), bm.get(), ctx.get());
            const auto check = [&](const Limb* x, const Limb* y, const Limb* result, const char* what) {
                BN_mod_mul(expected.get(), FromLimbs(x, n).get(), FromLimbs(y, n).get(), bm.get(), ctx.get());
                BN_mod_mul(expected.get(), expected.get(), rInverse.get(), bm.get(), ctx.get());
                BN_nnmod(got.get(), FromLimbs(result, n).get(), bm.get(), ctx.get());
                EXPECT_EQ(BN_cmp(got.get(), expected.get()), 0) << what << ", n = " << n << ", round " << round;
            };
            kernels.mul(r, a, b, mod, scratch);
            check(a, b, r, "product");
            kernels.sqr(r, a, mod, scratch);
            check(a, a, r, "square");
            // The result may be an operand.
            std::copy(a, a + n, r);
            kernels.mul(r, r, b, mod, scratch);
            check(a, b, r, "product into the operand");
            std::copy(a, a + n, r);
            kernels.mul(r, r, r, mod, scratch);
            check(a, a, r, "product of the operand with itself");
            std::copy(a, a + n, r);
            kernels.sqr(r, r, mod, scratch);
            check(a, a, r, "square into the operand");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, MontgomeryPath,
                         testing::Values(KernelPath{"Portable", [](int) { return detail::PortableMontgomeryKernels(); },
                                                    [](int) { return true; }},
                                         KernelPath{"MulxAdx", detail::MulxAdxMontgomeryKernels,
                                                    [](int n) {
                                                        return detail::HasMulxAdx() && detail::HasUnrolledKernels(n);
                                                    }}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
