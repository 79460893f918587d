// The special cases of the point sums, against OpenSSL's multiples of G: P + P doubled
// through the sum (Jacobian and mixed), P + (-P) and sums with the point at infinity.
#include <gtest/gtest.h>

#include "peer.h"
#include "vorlan/ec/curves.h"
#include "vorlan/ec/ecpoint.h"

namespace ectest {
namespace {

using namespace vorlan::detail;

// The uncompressed point k·G by OpenSSL.
Octets MultipleOfG(const Curve& curve, unsigned long k) {
    const Group group = GroupOf(curve);
    BN scalar(BN_new());
    BN_set_word(scalar.get(), k);
    Point point(EC_POINT_new(group.get()));
    EC_POINT_mul(group.get(), point.get(), scalar.get(), nullptr, nullptr, nullptr);
    return Encode(group.get(), point.get(), POINT_CONVERSION_UNCOMPRESSED);
}

template <class CurveArithmetic>
void ExpectSpecialSums(const Curve& curve) {
    SCOPED_TRACE(curve.name);
    using F = typename CurveArithmetic::Field;
    using Jacobian = SJacobianPoint<CurveArithmetic>;
    using Affine = SAffinePoint<CurveArithmetic>;
    constexpr int N = CurveArithmetic::kLimbs;
    const auto encode = [&](const Jacobian& p) {
        const Affine a = p.ToAffine();
        Octets out(1 + 2 * 8 * N, 4);
        OctetsFromElement<N>(std::span<unsigned char, 8 * N>(out.data() + 1, 8 * N), F::FromMontgomery(a.x));
        OctetsFromElement<N>(std::span<unsigned char, 8 * N>(out.data() + 1 + 8 * N, 8 * N), F::FromMontgomery(a.y));
        return ToHex(out);
    };
    const Affine g{F::ToMontgomery(CurveArithmetic::kGx), F::ToMontgomery(CurveArithmetic::kGy)};
    const Affine minusG{g.x, F::Negate(g.y)};
    // 3G with Z far from one, and the same point affine.
    const Jacobian three = Jacobian::From(g).Doubled().Plus(g);
    const Affine threeAffine = three.ToAffine();
    const Jacobian minusThree{three.x, F::Negate(three.y), three.z};
    const Jacobian infinity = Jacobian::Infinity();

    EXPECT_EQ(encode(three), ToHex(MultipleOfG(curve, 3)));
    EXPECT_EQ(encode(three.Plus(three)), ToHex(MultipleOfG(curve, 6))) << "P + P";
    EXPECT_EQ(encode(three.Plus(threeAffine)), ToHex(MultipleOfG(curve, 6))) << "P + P, mixed";
    EXPECT_TRUE(three.Plus(minusThree).IsInfinity()) << "P + (-P)";
    EXPECT_TRUE(three.Plus(Affine{threeAffine.x, F::Negate(threeAffine.y)}).IsInfinity()) << "P + (-P), mixed";
    EXPECT_TRUE(Jacobian::From(g).Plus(minusG).IsInfinity()) << "G + (-G)";
    EXPECT_EQ(encode(infinity.Plus(three)), ToHex(MultipleOfG(curve, 3))) << "O + P";
    EXPECT_EQ(encode(three.Plus(infinity)), ToHex(MultipleOfG(curve, 3))) << "P + O";
    EXPECT_EQ(encode(infinity.Plus(g)), ToHex(MultipleOfG(curve, 1))) << "O + G, mixed";
    EXPECT_TRUE(infinity.Doubled().IsInfinity()) << "2·O";
    EXPECT_TRUE(infinity.Plus(infinity).IsInfinity()) << "O + O";
}

TEST(PointSums, SpecialCasesAgreeWithOpenSSL) {
    ExpectSpecialSums<CP256<CPortableProducts>>(kP256);
    ExpectSpecialSums<CP384<CPortableProducts>>(kP384);
}

}  // namespace
}  // namespace ectest
