/// \file
/// CRSAPrivateKey: an RSA private key (the public fields plus the private exponent,
/// the primes and the CRT values, all big-endian and right-aligned). It signs digests
/// (LockDigest) and unwraps symmetric keys (UnlockKey). Its fields are wiped when it dies.
#pragma once

#include "vorlan/rsa/rsapublickey.h"

/// An RSA private key: the public fields plus the private exponent, the primes and the CRT
/// values, all big-endian and right-aligned, wiped when the key dies. Its operations run in
/// constant time with blinding; failures are CUnlockException*.
class CRSAPrivateKey : public CRSAPublicKey {
    DECLARE_SERIAL(CRSAPrivateKey)
public:
    CRSAPrivateKey();
    /// A copy of the fields.
    CRSAPrivateKey(const CRSAPrivateKey& other) = default;
    /// Copies the fields.
    CRSAPrivateKey& operator=(const CRSAPrivateKey& other) = default;
    ~CRSAPrivateKey() override;

    /// Archive form: the public part, then version 0, the private exponent, the primes
    /// block, the CRT exponents block and the coefficient; all fields stored at 256 octets
    /// (halves at 128) while every value fits there, else whole.
    void Serialize(CArchive& ar) override;

    /// Signs: the DigestInfo of `alg` around `digest` in a block of type 1, raised to
    /// the private exponent; RsaOutputSize() octets.
    void LockDigest(EDigestAlgorithm alg, const unsigned char* digest, CByteArray& out) const;
    /// The same octets right-aligned in outLen octets with zeros in front; an outLen
    /// shorter than RsaOutputSize() is refused.
    void LockDigest(EDigestAlgorithm alg, const unsigned char* digest, unsigned char* out, unsigned long outLen) const;

    /// Reverses a key wrapped by LockKey and sets its octets into `key`. `key` already holds
    /// as many octets as its cipher takes (a new CTripleDESkey 24; set an RC2 or RC5 key's
    /// length first): the block must carry exactly that many. A block of any other form gives
    /// a random key of that length instead, in the same time, so only the content's
    /// decryption fails. `locked` must be as long as the modulus; `bits` is the length of
    /// the key that wrapped it.
    void UnlockKey(const CByteArray& locked, CKey& key, unsigned short bits) const;

    /// The factors and CRT values are half as wide as the modulus.
    static constexpr int kHalfFieldSize = kFieldSize / 2;
    /// the archived length of the halves of keys of up to 2,048 bits
    static constexpr int kNarrowHalfSize = kNarrowFieldSize / 2;

    BYTE privateExponent[kFieldSize];  ///< d
    BYTE prime1[kHalfFieldSize];       ///< p
    BYTE prime2[kHalfFieldSize];       ///< q
    BYTE exponent1[kHalfFieldSize];    ///< d mod (p - 1)
    BYTE exponent2[kHalfFieldSize];    ///< d mod (q - 1)
    BYTE coefficient[kHalfFieldSize];  ///< q^-1 mod p

protected:
    /// in^privateExponent mod modulus into RsaOutputSize() octets; in and out may be
    /// the same array.
    void ProcessData(const CByteArray& in, CByteArray& out) const override;
    /// 00, blockType, padding of 0xFF (0x00 for block type 0), 00, data.
    void EncodeData(const unsigned char* data, unsigned long len, CByteArray& out,
                    unsigned char blockType) const override;
    /// Parses a block of type 2 (random padding); blockType is not used.
    int DecodeData(const CByteArray& in, unsigned short bits, CByteArray& out, unsigned char blockType) const override;

private:
    void StorePrivatePart(CArchive& ar, WORD fieldLen) const;
    void LoadPrivatePart(CArchive& ar);
};
