/// \file
/// CRSAPublicKey: an RSA public key of up to 4,096 bits in fixed big-endian,
/// right-aligned fields, with the raw RSA operation and PKCS#1 version 1.5 blocks:
/// it checks signatures (UnlockDigest) and wraps symmetric keys (LockKey).
/// Failures throw CUnlockException.
#pragma once

#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/object.h"
#include "vorlan/rsa/digestinfo.h"

class CKey;

/// An RSA public key of up to 4,096 bits in fixed big-endian, right-aligned fields, a plain
/// value with the raw RSA operation and PKCS #1 version 1.5 blocks. Failures of the operations
/// are CUnlockException*, of archives CArchiveException*.
class CRSAPublicKey : public CObject {
    DECLARE_SERIAL(CRSAPublicKey)
public:
    /// Octets of each key field: keys and signatures are limited to 4,096 bits.
    static constexpr int kFieldSize = 512;
    static constexpr unsigned short kMaxBits = 8 * kFieldSize;  ///< the longest key, 4,096 bits
    /// The archived field length of keys of up to 2,048 bits, which keep the form they always had.
    static constexpr int kNarrowFieldSize = 256;

    CRSAPublicKey();
    /// A copy of the fields.
    CRSAPublicKey(const CRSAPublicKey& other) = default;
    /// Copies the fields.
    CRSAPublicKey& operator=(const CRSAPublicKey& other) = default;
    ~CRSAPublicKey() override = default;

    /// Archive form: version 0, the field length, bits, modulus, public exponent. The
    /// fields are stored in their last 256 octets while the key's values fit there, else whole.
    void Serialize(CArchive& ar) override;

    /// The modulus length in octets, (bits + 7) / 8.
    unsigned short RsaOutputSize() const;

    /// The key's octets in a block of type 2 (random padding), raised to the public
    /// exponent: RsaOutputSize() octets.
    void LockKey(const CKey& key, CByteArray& out) const;

    /// Reverses a signature made over a DigestInfo of `alg` and copies the digest
    /// (16 to 64 octets, the digest's size) to `digest`; comparing it is the caller's work. `bits`
    /// is the length of the key that made the signature.
    void UnlockDigest(EDigestAlgorithm alg, const CByteArray& locked, unsigned char* digest, unsigned short bits) const;
    /// The same for `len` octets at `locked`.
    void UnlockDigest(EDigestAlgorithm alg, const unsigned char* locked, unsigned long len, unsigned char* digest,
                      unsigned short bits) const;

    unsigned short bits;  ///< the modulus length in bits
    BYTE modulus[kFieldSize];  ///< n, right-aligned
    BYTE publicExponent[kFieldSize];  ///< e, right-aligned

protected:
    /// in^publicExponent mod modulus into RsaOutputSize() octets; in and out may be
    /// the same array.
    virtual void ProcessData(const CByteArray& in, CByteArray& out) const;
    /// Block type 2: 00 02, random non-zero padding, 00, data. blockType is not used.
    virtual void EncodeData(const unsigned char* data, unsigned long len, CByteArray& out,
                            unsigned char blockType) const;
    /// Parses a block of type 0 or 1 (constant padding); 1 on success, 0 on any error.
    virtual int DecodeData(const CByteArray& in, unsigned short bits, CByteArray& out, unsigned char blockType) const;

    /// The archived length of the public fields: 256 when the bit count and both values fit
    /// there, else 512.
    WORD PublicFieldLength() const;
    /// Writes the public archive form with fields of fieldLen octets.
    void StorePublicPart(CArchive& ar, WORD fieldLen) const;
    /// Reads the public archive form; CArchiveException* for an unknown version (generic), a
    /// field length past kFieldSize (badSchema) or a bit count out of range (generic).
    void LoadPublicPart(CArchive& ar);
};

/// 1 when the bit counts and both fields are equal.
int operator==(const CRSAPublicKey& a, const CRSAPublicKey& b);
