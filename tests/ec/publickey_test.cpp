// Reading SEC 1 points into CECPublicKey: what is refused and why, and compressed points
// decompressed as OpenSSL decompresses them.
#include <gtest/gtest.h>

#include "peer.h"
#include "tests/common/rows.h"
#include "tests/common/unlock_reason.h"

namespace ectest {
namespace {

constexpr const char* kP256Prime = "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff";
constexpr const char* kP384Prime =
    "fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffeffffffff0000000000000000ffffffff";
constexpr const char* kP256Gx = "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296";
constexpr const char* kP256Gy = "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5";
constexpr const char* kP384Gx =
    "aa87ca22be8b05378eb1c71ef320ad746e1d3b628ba79b9859f741e082542a385502f25dbf55296c3a545e3872760ab7";
constexpr const char* kP384Gy =
    "3617de4a96262c6f5d9e98bf9292dc29f8f41dbd289a147ce9da3113b5f0b8c00a60b1ce1d7e819d7a431d7c90ea0e5f";

std::string Number(std::size_t octets, int value) {
    std::string text(2 * octets - 2, '0');
    char last[3];
    std::snprintf(last, sizeof last, "%02x", value);
    return text + last;
}

struct Refusal {
    const char* name;
    friend void PrintTo(const Refusal& row, std::ostream* out) { *out << row.name; }
    Curve curve;
    std::string point;  // hex
    const char* reason;
};

constexpr const char* kInfinity = "CECPublicKey - the point at infinity is not a public key";
constexpr const char* kForm = "CECPublicKey - the point is neither compressed nor uncompressed";
constexpr const char* kLength = "CECPublicKey - the point's length does not match the curve";
constexpr const char* kCoordinate = "CECPublicKey - a coordinate is not below the field prime";
constexpr const char* kOffCurve = "CECPublicKey - the point is not on the curve";

class PointRefused : public testing::TestWithParam<Refusal> {};

TEST_P(PointRefused, WithItsReason) {
    const Refusal& row = GetParam();
    const Octets point = FromHex(row.point);
    EXPECT_EQ(UnlockReason([&] { CECPublicKey(row.curve.ours, point); }), row.reason);
    // OpenSSL refuses them too (it reads the hybrid form, which is not taken here).
    const Group group = GroupOf(row.curve);
    Point peer(EC_POINT_new(group.get()));
    const bool hybrid = !point.empty() && (point[0] == 6 || point[0] == 7);
    if (!hybrid && !point.empty()) {
        EXPECT_FALSE(EC_POINT_oct2point(group.get(), peer.get(), point.data(), point.size(), nullptr) == 1 &&
                     !EC_POINT_is_at_infinity(group.get(), peer.get()));
    }
}

std::string Fs(std::size_t octets) { return std::string(2 * octets, 'f'); }

INSTANTIATE_TEST_SUITE_P(
    Sec1, PointRefused,
    testing::Values(
        Refusal{"empty", kP256, "", "CECPublicKey - the point is empty"},
        Refusal{"infinity P-256", kP256, "00", kInfinity}, Refusal{"infinity P-384", kP384, "00", kInfinity},
        Refusal{"infinity with coordinates", kP256, std::string("00") + kP256Gx + kP256Gy, kInfinity},
        Refusal{"unknown form 05", kP256, std::string("05") + kP256Gx + kP256Gy, kForm},
        Refusal{"hybrid form 06", kP256, std::string("06") + kP256Gx + kP256Gy, kForm},
        Refusal{"hybrid form 07", kP384, std::string("07") + kP384Gx + kP384Gy, kForm},
        Refusal{"uncompressed one octet short", kP256, std::string("04") + kP256Gx + std::string(kP256Gy).substr(2),
                kLength},
        Refusal{"uncompressed one octet long", kP256, std::string("04") + kP256Gx + kP256Gy + "00", kLength},
        Refusal{"P-256 point on P-384", kP384, std::string("04") + kP256Gx + kP256Gy, kLength},
        Refusal{"compressed with both coordinates", kP256, std::string("02") + kP256Gx + kP256Gy, kLength},
        Refusal{"uncompressed x only", kP384, std::string("04") + kP384Gx, kLength},
        Refusal{"x equal to p", kP256, std::string("04") + kP256Prime + kP256Gy, kCoordinate},
        Refusal{"y equal to p", kP256, std::string("04") + kP256Gx + kP256Prime, kCoordinate},
        Refusal{"x all ones", kP384, std::string("04") + Fs(48) + kP384Gy, kCoordinate},
        Refusal{"y all ones", kP384, std::string("04") + kP384Gx + Fs(48), kCoordinate},
        Refusal{"compressed x equal to p", kP384, std::string("03") + kP384Prime, kCoordinate},
        // G's x with G's y plus one.
        Refusal{"P-256 y off by one", kP256,
                std::string("04") + kP256Gx + "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f6",
                kOffCurve},
        Refusal{"P-384 G on P-256's length", kP256,
                std::string("04") + std::string(kP384Gx).substr(32) + std::string(kP384Gy).substr(32), kOffCurve},
        Refusal{"origin", kP384, "04" + Number(48, 0) + Number(48, 0), kOffCurve},
        // x^3 - 3x + b is no square for x = 1 on both curves, and for x = 4 on P-384.
        Refusal{"P-256 compressed x = 1", kP256, "02" + Number(32, 1), kOffCurve},
        Refusal{"P-384 compressed x = 1", kP384, "03" + Number(48, 1), kOffCurve},
        Refusal{"P-384 compressed x = 4", kP384, "02" + Number(48, 4), kOffCurve}),
    RowName());

// Compressed points of random OpenSSL keys and of small x with a square (x = 0, 5 on P-256;
// 0, 2 on P-384), both parities: decompressed here as OpenSSL decompresses them.
TEST(CompressedPoint, DecompressesAsOpenSSL) {
    for (const Curve& curve : kCurves) {
        SCOPED_TRACE(curve.name);
        const Group group = GroupOf(curve);
        std::vector<Octets> compressed;
        for (int i = 0; i < 24; ++i)
            compressed.push_back(Encode(group.get(), Decode(group.get(), PointOf(NewKey(curve).get())).get(),
                                        POINT_CONVERSION_COMPRESSED));
        const int squares[] = {0, curve.octets == 32 ? 5 : 2};
        for (const int x : squares)
            for (const char* parity : {"02", "03"}) compressed.push_back(FromHex(parity + Number(curve.octets, x)));
        int odd = 0;
        for (const Octets& point : compressed) {
            const Octets expected =
                Encode(group.get(), Decode(group.get(), point).get(), POINT_CONVERSION_UNCOMPRESSED);
            const CECPublicKey key(curve.ours, point);
            CByteArray decoded;
            key.GetPoint(decoded);
            EXPECT_EQ(ToHex(decoded.GetData(), static_cast<std::size_t>(decoded.GetSize())), ToHex(expected))
                << ToHex(point);
            EXPECT_TRUE(key == CECPublicKey(curve.ours, expected));
            odd += point[0] == 3;
        }
        EXPECT_GT(odd, 0);
    }
}

TEST(UncompressedPoint, ReadsBackAsWritten) {
    for (const Curve& curve : kCurves) {
        const Octets point = PointOf(NewKey(curve).get());
        const CECPublicKey key(curve.ours, point);
        CByteArray written;
        key.GetPoint(written);
        EXPECT_EQ(ToHex(written.GetData(), static_cast<std::size_t>(written.GetSize())), ToHex(point)) << curve.name;
        EXPECT_EQ(key.GetCoordinateSize(), static_cast<int>(curve.octets));
        EXPECT_EQ(key.GetCurve(), curve.ours);
    }
}

}  // namespace
}  // namespace ectest
