#include "vorlan/ec/ecpublickey.h"

#include <algorithm>
#include <utility>

#include "vorlan/ec/ecdsasignature.h"
#include "vorlan/ec/ecdsaverifier.h"
#include "vorlan/support/unlockexception.h"

using vorlan::detail::CEcdsaVerifier;
#if defined(__x86_64__)
using vorlan::detail::CMulxAdxProducts;
#endif
using vorlan::detail::CP256;
using vorlan::detail::CP384;
using vorlan::detail::CPortableProducts;
using vorlan::detail::CurveRightSide;
using vorlan::detail::Element;
using vorlan::detail::ElementFromOctets;
using vorlan::detail::HasMulxAdx;
using vorlan::detail::IsBelow;
using vorlan::detail::OctetsFromElement;
using vorlan::detail::ParseEcdsaSignature;
using vorlan::detail::SAffinePoint;

namespace {

#if defined(__x86_64__)
// Whether the P-256 products may run on mulx/adcx/adox, asked of the processor once.
bool RunsMulxAdx() {
    static const bool runs = HasMulxAdx();
    return runs;
}
#endif

// The action called with the arithmetic of the curve (an empty tag object), on the fastest
// products this processor runs. P-384 keeps the portable ones: they beat OpenSSL there already.
template <class Action>
decltype(auto) OnCurve(EEllipticCurve curve, Action&& action) {
    switch (curve) {
        case EEllipticCurve::p256:
#if defined(__x86_64__)
            if (RunsMulxAdx()) return action(CP256<CMulxAdxProducts>{});
#endif
            return action(CP256<CPortableProducts>{});
        case EEllipticCurve::p384:
            return action(CP384<CPortableProducts>{});
    }
    AfxThrowUnlockException("CECPublicKey - unknown curve");
}

template <class Curve>
Element<Curve::kLimbs> ReadCoordinate(std::span<const unsigned char> octets) {
    Element<Curve::kLimbs> value;
    ElementFromOctets<Curve::kLimbs>(value, octets);
    if (!IsBelow<Curve::kLimbs>(value, Curve::Field::Modulus()))
        AfxThrowUnlockException("CECPublicKey - a coordinate is not below the field prime");
    return value;
}

// The plain affine coordinates of a SEC 1 point, checked to lie on the curve.
template <class Curve>
std::pair<Element<Curve::kLimbs>, Element<Curve::kLimbs>> DecodePoint(std::span<const unsigned char> point) {
    using F = typename Curve::Field;
    constexpr std::size_t k = Curve::kOctets;
    if (point.empty()) AfxThrowUnlockException("CECPublicKey - the point is empty");
    if (point[0] == 0) AfxThrowUnlockException("CECPublicKey - the point at infinity is not a public key");
    const bool compressed = point[0] == 2 || point[0] == 3;
    if (!compressed && point[0] != 4)
        AfxThrowUnlockException("CECPublicKey - the point is neither compressed nor uncompressed");
    if (point.size() != (compressed ? 1 + k : 1 + 2 * k))
        AfxThrowUnlockException("CECPublicKey - the point's length does not match the curve");

    const auto x = ReadCoordinate<Curve>(point.subspan(1, k));
    const auto square = CurveRightSide<Curve>(F::ToMontgomery(x));
    if (!compressed) {
        const auto y = ReadCoordinate<Curve>(point.subspan(1 + k, k));
        if (F::Sqr(F::ToMontgomery(y)) != square)
            AfxThrowUnlockException("CECPublicKey - the point is not on the curve");
        return {x, y};
    }
    // p ≡ 3 mod 4: square^((p+1)/4) is a root when there is one. y = 0 has no point here.
    const auto root = F::Power(square, Curve::kSqrtExponent);
    if (F::Sqr(root) != square) AfxThrowUnlockException("CECPublicKey - the point is not on the curve");
    auto y = F::FromMontgomery(root);
    if ((y[0] & 1) != (point[0] & 1)) y = F::FromMontgomery(F::Negate(root));
    return {x, y};
}

}  // namespace

CECPublicKey::CECPublicKey(EEllipticCurve curve, std::span<const unsigned char> point) : m_curve(curve) {
    OnCurve(curve, [&]<class Curve>(Curve) {
        const auto [x, y] = DecodePoint<Curve>(point);
        OctetsFromElement<Curve::kLimbs>(std::span(m_x).template first<Curve::kOctets>(), x);
        OctetsFromElement<Curve::kLimbs>(std::span(m_y).template first<Curve::kOctets>(), y);
    });
}

int CECPublicKey::GetCoordinateSize() const {
    return OnCurve(m_curve, []<class Curve>(Curve) { return Curve::kOctets; });
}

void CECPublicKey::GetPoint(CByteArray& out) const {
    const int k = GetCoordinateSize();
    out.SetSize(1 + 2 * k);
    BYTE* octets = out.GetData();
    octets[0] = 4;
    std::copy_n(m_x.begin(), k, octets + 1);
    std::copy_n(m_y.begin(), k, octets + 1 + k);
}

bool CECPublicKey::Verify(std::span<const unsigned char> digest, std::span<const unsigned char> r,
                          std::span<const unsigned char> s) const {
    return OnCurve(m_curve, [&]<class Curve>(Curve) {
        using F = typename Curve::Field;
        constexpr int n = Curve::kLimbs;
        Element<n> rValue, sValue, x, y;
        if (!ElementFromOctets<n>(rValue, r) || !ElementFromOctets<n>(sValue, s)) return false;
        ElementFromOctets<n>(x, std::span(m_x).first(Curve::kOctets));
        ElementFromOctets<n>(y, std::span(m_y).first(Curve::kOctets));
        const SAffinePoint<Curve> key{F::ToMontgomery(x), F::ToMontgomery(y)};
        return CEcdsaVerifier<Curve>::Verify(key, digest, rValue, sValue);
    });
}

bool CECPublicKey::VerifyDer(std::span<const unsigned char> digest, std::span<const unsigned char> signature) const {
    std::span<const unsigned char> r, s;
    return ParseEcdsaSignature(signature, r, s) && Verify(digest, r, s);
}
