// CECPublicKey: an ECDSA public key on P-256 or P-384, read from its SEC 1 octet string,
// that checks signatures made by others (signing stays with RSA). Bad key material throws
// CUnlockException; a bad signature is only a false verdict.
#pragma once

#include <array>
#include <span>

#include "vorlan/framework/bytearray.h"

/// The prime curves of ECDSA verification (FIPS 186-5, SP 800-186).
enum class EEllipticCurve { p256, p384 };

/// An ECDSA public key: a curve and a point on it other than the point at infinity.
class CECPublicKey {
public:
    /// Octets of a coordinate on the largest curve.
    static constexpr int kMaxCoordinateSize = 48;

    /// Decodes a SEC 1 point (2.3.4): 04 || x || y, or 02 / 03 || x with the parity of y in
    /// the first octet. Throws CUnlockException for the point at infinity, another length or
    /// form, a coordinate not below the field prime, or a point not on the curve.
    CECPublicKey(EEllipticCurve curve, std::span<const unsigned char> point);

    /// The curve of the key.
    EEllipticCurve GetCurve() const { return m_curve; }
    /// Octets of one coordinate: 32 for P-256, 48 for P-384.
    int GetCoordinateSize() const;
    /// The point in uncompressed form, 04 || x || y.
    void GetPoint(CByteArray& out) const;

    /// Whether (r, s), big-endian octets (leading zeros allowed), is a signature of the
    /// digest under this key. The digest may have any length: as many of its leftmost bits
    /// count as the group order has. r or s outside 1..n-1 gives false.
    bool Verify(std::span<const unsigned char> digest, std::span<const unsigned char> r,
                std::span<const unsigned char> s) const;
    /// The same for a signature in DER, SEQUENCE { r INTEGER, s INTEGER }; any other
    /// encoding (long lengths, padded or negative INTEGERs, octets after it) gives false.
    bool VerifyDer(std::span<const unsigned char> digest, std::span<const unsigned char> signature) const;

    friend bool operator==(const CECPublicKey& a, const CECPublicKey& b) = default;

private:
    EEllipticCurve m_curve;
    // The affine coordinates, big-endian, in the first GetCoordinateSize() octets of each.
    std::array<unsigned char, kMaxCoordinateSize> m_x{}, m_y{};
};
