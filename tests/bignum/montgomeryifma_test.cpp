// The AVX-512 IFMA products and powers on 52-bit digits against the portable and mulx/adcx/adox
// kernels on 64-bit limbs and against OpenSSL's BIGNUM, at every limb count they serve. They
// run where the processor has IFMA and are reported skipped elsewhere.
#include "vorlan/bignum/montgomeryifma.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <memory>
#include <random>

#include "tests/bignum/bignumpeer.h"
#include "vorlan/bignum/montgomery.h"

namespace {

using vorlan::detail::Limb;

using bignumtest::BN;
using bignumtest::BNCtx;
using bignumtest::FromLimbs;

// x * 2^bits mod m.
BN TimesPower(const BIGNUM* x, int bits, const BIGNUM* m, BN_CTX* ctx) {
    BN r(BN_new()), power(BN_new());
    BN_set_bit(power.get(), bits);
    BN_mod_mul(r.get(), x, power.get(), m, ctx);
    return r;
}

constexpr int kLimbCounts[] = {8, 16, 24, 32};
constexpr int kMaxLimbs = 32, kMaxLanes = vorlan::detail::IfmaLanes(kMaxLimbs);

// Operand shapes: random, the edges 0, 1 and m - 1, and all bits set (below 2m when m's top
// bit is set, as an RSA prime's is).
enum class Shape { kRandom, kZero, kOne, kModulusLessOne, kAllOnes };
constexpr Shape kShapes[] = {Shape::kRandom, Shape::kZero, Shape::kOne, Shape::kModulusLessOne, Shape::kAllOnes};

struct COperands {
    Limb m[kMaxLimbs] = {}, a[kMaxLimbs] = {}, b[kMaxLimbs] = {};
    Limb minv;

    // m random, odd, with its top bit set; every fourth round all ones but the top limb's low bits.
    COperands(std::mt19937_64& engine, int n, int round, Shape shape) {
        for (int i = 0; i < n; ++i) m[i] = round % 4 == 3 ? ~Limb{0} - (i == n - 1) : engine();
        m[0] |= 1, m[n - 1] |= Limb{1} << 63;
        Fill(a, n, engine, shape);
        Fill(b, n, engine, round % 2 ? shape : Shape::kRandom);
        minv = m[0];
        for (int i = 0; i < 5; ++i) minv *= 2 - m[0] * minv;  // m^-1 mod 2^64 by Newton's steps
        minv = 0 - minv;
    }

    void Fill(Limb* x, int n, std::mt19937_64& engine, Shape shape) const {
        for (int i = 0; i < n; ++i) {
            switch (shape) {
                case Shape::kRandom:
                    x[i] = engine() % (i == n - 1 ? m[i] : ~Limb{0});
                    break;
                case Shape::kZero:
                case Shape::kOne:
                    x[i] = i == 0 && shape == Shape::kOne;
                    break;
                case Shape::kModulusLessOne:
                    x[i] = m[i] - (i == 0);
                    break;
                case Shape::kAllOnes:
                    x[i] = ~Limb{0};
                    break;
            }
        }
    }
};

TEST(IfmaMontgomery, ProductsAgreeWithTheLimbKernelsAndStayBelowTwiceTheModulus) {
    if (!vorlan::detail::HasIfma()) GTEST_SKIP() << "skipped: no IFMA";
    const BNCtx ctx(BN_CTX_new());
    std::mt19937_64 engine(52);
    for (const int n : kLimbCounts) {
        const int d = vorlan::detail::IfmaDigits(n);
        const auto ifma = vorlan::detail::IfmaAlmostMontgomery(n);
        for (int round = 0; round < 8; ++round) {
            for (const Shape shape : kShapes) {
                SCOPED_TRACE(testing::Message() << n << " limbs, round " << round << ", shape " << int(shape));
                const COperands o(engine, n, round, shape);
                alignas(64) Limb m52[kMaxLanes], a52[kMaxLanes], b52[kMaxLanes], r52[kMaxLanes];
                vorlan::detail::DigitsFromLimbs52(m52, d, o.m, n);
                vorlan::detail::DigitsFromLimbs52(a52, d, o.a, n);
                vorlan::detail::DigitsFromLimbs52(b52, d, o.b, n);
                ifma(r52, a52, b52, m52, o.minv & ((Limb{1} << 52) - 1));
                Limb r[kMaxLimbs + 1];
                vorlan::detail::LimbsFromDigits52(r, n + 1, r52, d);
                const BN bm = FromLimbs(o.m, n), br = FromLimbs(r, n + 1);
                BN twice(BN_new());
                BN_lshift1(twice.get(), bm.get());
                EXPECT_LT(BN_cmp(br.get(), twice.get()), 0) << "below 2m";
                // r*2^(52d) = a*b mod m, and the limb kernels' p*2^(64n) the same.
                BN expected(BN_new());
                BN_mod_mul(expected.get(), FromLimbs(o.a, n).get(), FromLimbs(o.b, n).get(), bm.get(), ctx.get());
                EXPECT_EQ(BN_cmp(TimesPower(br.get(), 52 * d, bm.get(), ctx.get()).get(), expected.get()), 0);
                const vorlan::detail::CMontgomeryModulus mod{o.m, n, o.minv};
                for (const auto& [name, kernels] :
                     {std::pair{"portable", vorlan::detail::PortableMontgomeryKernels()},
                      std::pair{"mulx/adx", vorlan::detail::HasMulxAdx()
                                                ? vorlan::detail::MulxAdxMontgomeryKernels(n)
                                                : vorlan::detail::PortableMontgomeryKernels()}}) {
                    Limb p[kMaxLimbs], scratch[2 * kMaxLimbs];
                    kernels.mul(p, o.a, o.b, mod, scratch);
                    const BN limbProduct = TimesPower(FromLimbs(p, n).get(), 64 * n, bm.get(), ctx.get());
                    EXPECT_EQ(BN_cmp(TimesPower(br.get(), 52 * d, bm.get(), ctx.get()).get(), limbProduct.get()), 0)
                        << name;
                }
            }
        }
    }
}

// The secret powers on digits, one alone and two together, against those on limbs and
// BN_mod_exp, for bases 0, 1, m - 1, all ones (above m) and random, and full-width exponents.
TEST(IfmaMontgomery, PowersAgreeWithTheLimbPowersAndOpenSSL) {
    if (!vorlan::detail::HasIfma()) GTEST_SKIP() << "skipped: no IFMA";
    const BNCtx ctx(BN_CTX_new());
    std::mt19937_64 engine(1052);
    for (const int n : kLimbCounts) {
        for (int round = 0; round < 2; ++round) {
            for (const Shape shape : kShapes) {
                SCOPED_TRACE(testing::Message() << n << " limbs, round " << round << ", shape " << int(shape));
                const COperands first(engine, n, round, shape), second(engine, n, round + 1, Shape::kRandom);
                vorlan::detail::CMontgomeryDomain d1(first.m, n), d2(second.m, n);
                Limb e1[kMaxLimbs], e2[kMaxLimbs], alone[kMaxLimbs], limbs[kMaxLimbs], r1[kMaxLimbs], r2[kMaxLimbs];
                for (int i = 0; i < n; ++i) e1[i] = engine(), e2[i] = engine();
                const vorlan::detail::CSecretPower one[] = {{&d1, alone, first.a, e1}};
                vorlan::detail::IfmaSecretModExp(one, 64 * n);
                vorlan::detail::LimbSecretModExp(d1, limbs, first.a, e1, 64 * n);
                const vorlan::detail::CSecretPower pair[] = {{&d1, r1, first.a, e1}, {&d2, r2, second.a, e2}};
                vorlan::detail::IfmaSecretModExp(pair, 64 * n);
                BN expected(BN_new());
                BN_mod_exp(expected.get(), FromLimbs(first.a, n).get(), FromLimbs(e1, n).get(),
                           FromLimbs(first.m, n).get(), ctx.get());
                for (const Limb* r : {alone, limbs, r1}) EXPECT_EQ(BN_cmp(FromLimbs(r, n).get(), expected.get()), 0);
                BN_mod_exp(expected.get(), FromLimbs(second.a, n).get(), FromLimbs(e2, n).get(),
                           FromLimbs(second.m, n).get(), ctx.get());
                EXPECT_EQ(BN_cmp(FromLimbs(r2, n).get(), expected.get()), 0) << "second of the pair";
            }
        }
    }
}

}  // namespace
