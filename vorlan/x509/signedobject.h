/// \file
/// CSignedObject: the RSA signature of a signed structure (a certificate, a revocation list)
/// with the cached digests of its signed part: signing, the signature check, and the archive
/// pieces of these fields. The structure says how its signed part is built from its fields.
/// The cached digests are of the signed part's octets kept beside them (as received, as signed
/// or as loaded) and count only while the fields are still those of these octets: the fields
/// are public, so every use compares them instead of trusting a setter to say so — with the
/// image of the fields known to be those of the octets when there is one, else as DER.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <utility>

#include "vorlan/framework/archive.h"
#include "vorlan/ec/ecpublickey.h"
#include "vorlan/rsa/rsaprivatekey.h"

class CASN1Type;

namespace vorlan::detail {
struct SSignatureAlgorithm;
class CFieldImage;
}

/// The RSA signature of a signed structure (a certificate, a revocation list) with the cached
/// digests of its signed part, which count only while the fields are still those of that part.
/// A plain value.
class CSignedObject : public CObject {
public:
    /// Octets of the signature field: signatures of up to 4,096 bits.
    static constexpr int kFieldSize = CRSAPublicKey::kFieldSize;
    static constexpr unsigned short kMaxBits = CRSAPublicKey::kMaxBits;  ///< the longest signature, 4,096 bits
    /// Archives store the key and signature fields in their last 256 octets, as they always did,
    /// unless a value or bit count needs more: then whole, and the record format octet has this bit.
    static constexpr BYTE kWideFields = 0x20;

    /// Signs with SHA-1 with RSA the signed part built from the fields (its digest then cached).
    /// A key longer than 4,096 bits raises CUnlockException and, like any failure, changes nothing.
    void SignWith(const CRSAPrivateKey& key);
    /// The same with `algorithm`, 2 (SHA-1), 3 (SHA-256), 4 (SHA-384) or 5 (SHA-512) with RSA; another value raises
    /// CNotSupportedException.
    void SignWith(const CRSAPrivateKey& key, int algorithm);
    /// 1 when the signature is that of the signed part under the key, else 0: the signed part as
    /// received or signed while the fields are still its fields, else as the fields build it. The
    /// signature must be exactly as long as the key's modulus, whatever the stored bit counts say.
    /// On 0, LastDecodingReason() on the calling thread says why: "signature not checkable" (an
    /// unknown algorithm, a signature of a part octet), "signature differs", or why the fields
    /// cannot be written.
    int IsSignatureOKFor(const CRSAPublicKey& key) const;
    /// The same with an EC key for an ECDSA signature algorithm (the signature a DER
    /// Ecdsa-Sig-Value); an RSA algorithm with this key, or an ECDSA one with an RSA key, is
    /// "signature not checkable".
    int IsSignatureOKFor(const CECPublicKey& key) const;

    /// 0 MD2, 1 MD5, 2 SHA-1, 3 SHA-256, 4 SHA-384, 5 SHA-512, each with RSA; 6 SHA-256, 7 SHA-384,
    /// 8 SHA-512, each with ECDSA (only checked)
    int m_nSignatureAlgorithm = 2;
    BYTE m_signature[kFieldSize] = {};  ///< right-aligned: the last (bits + 7) / 8 octets
    WORD m_wSignatureBits = 0;  ///< the signature's length in bits
    BYTE m_digest16[16] = {};  ///< MD2 or MD5 of the signed part, after m_nSignatureAlgorithm
    int m_bHasDigest16 = 0;  ///< m_digest16 holds a digest
    BYTE m_digestSha1[20] = {};  ///< SHA-1 of the signed part
    int m_bHasDigestSha1 = 0;  ///< m_digestSha1 holds a digest
    BYTE m_digestSha256[32] = {};  ///< SHA-256 of the signed part
    int m_bHasDigestSha256 = 0;  ///< m_digestSha256 holds a digest
    BYTE m_digestLong[64] = {};  ///< SHA-384 (its first 48 octets) or SHA-512, after m_nSignatureAlgorithm
    int m_bHasDigestLong = 0;  ///< m_digestLong holds a digest

protected:
    friend class CASN1_SignedStructure;

    CSignedObject() = default;
    /// A copy, as the copy assignment makes it.
    CSignedObject(const CSignedObject& other) : CObject() { *this = other; }
    /// The algorithm, the signature and its length; both flags, and a digest only where its
    /// flag is set.
    CSignedObject& operator=(const CSignedObject& other);
    /// The same, the signed part the digests are of taken over (a list's may be large).
    CSignedObject& operator=(CSignedObject&& other);
    ~CSignedObject() override = default;

    /// The DER of the signed part built from the fields with `algorithm`; the decoding exception
    /// when they cannot be written.
    virtual void EncodeFields(const vorlan::detail::SSignatureAlgorithm& algorithm, CByteArray& out) const = 0;
    /// The fields of the signed part `octets` (a DER signed part of this kind) built into DER
    /// again; the decoding exception when it does not read.
    virtual void EncodeReadAgain(const CByteArray& octets, CByteArray& out) const = 0;
    /// A new signature replaces the one the object was received with.
    virtual void Signed() {}
    /// The image of every field the signed part is built from; false for a structure that keeps
    /// none (a list's image would be as long as the list, and every reading would pay for it).
    virtual bool ImageFields(vorlan::detail::CFieldImage&) const { return false; }

    /// 1 when the fields are those of the signed part the digests were taken of: they build the
    /// same DER as that signed part's own fields (the octets themselves, when they are DER as
    /// the fields write it). 0 without a signed part, or when the fields cannot be written.
    /// Fields with the image of those known to be the signed part's are, exactly, without building.
    int FieldsAreSigned() const;
    /// After the fields have been read from `signedPart`, received as the signed part whose digest
    /// is cached: while it still encodes as received, reading that part again gives these fields,
    /// so when they can be written they are known to be its fields.
    void BindReadFields(const CASN1Type& signedPart);
    /// Drops the digests and the signed part they are of.
    void ForgetDigests();
    /// After loading: the digests loaded are of the fields loaded (dropped when those cannot be written).
    void BindLoadedDigests();
    /// The cache field of a digest size (16 MD2 or MD5, 20 SHA-1, 32 SHA-256, 48 SHA-384 or 64
    /// SHA-512) and its flag.
    std::pair<BYTE*, int*> DigestField(int size);
    /// The cached digest of the algorithm's size, null when none is cached or the fields are no
    /// longer those it was taken of.
    const BYTE* CachedDigest(const vorlan::detail::SSignatureAlgorithm& algorithm) const;
    /// Caches `digest`, of `signedPart` with `algorithm`; the other digests are dropped unless
    /// they are of the same octets.
    void CacheDigest(const vorlan::detail::SSignatureAlgorithm& algorithm, CByteArray&& signedPart, const BYTE* digest);

    /// The record format to write: 3 when a SHA-384 or SHA-512 digest is cached, 2 when a
    /// SHA-256 one is, else 1, so that what has neither archives as before.
    BYTE RecordFormat() const { return m_bHasDigestLong ? 3 : m_bHasDigestSha256 ? 2 : 1; }
    /// Each digest after its 16-bit flag; record format 0 has no SHA-1 digest, formats 0 and 1
    /// no SHA-256 digest, formats 0 to 2 no SHA-384 or SHA-512 digest. Digests of fields since
    /// changed are stored as absent.
    void SerializeDigests(CArchive& ar, BYTE format);
    /// Loading: a record format past 3, an unknown algorithm or a bit count past 4,096 (past
    /// 2,048 without wide fields; the bit counts say how many octets of the fixed fields
    /// count) is the generic archive exception.
    static void RequireLoadable(BYTE format, WORD algorithm, WORD bits, bool wide);
    /// Whether the signature, and the fields and bit count a subclass adds, need wide fields.
    bool NeedsWideFields(std::initializer_list<const BYTE*> fields, WORD bits) const;
    /// A key or signature field: its last 256 octets or, wide, all of it; loading fills the
    /// octets in front with zeros.
    static void SerializeField(CArchive& ar, BYTE (&field)[kFieldSize], bool wide);

    template <std::size_t N>
    /// A fixed field of N octets; the archive exception (endOfFile) when loading runs short.
    static void SerializeOctets(CArchive& ar, BYTE (&field)[N]) {
        if (ar.IsStoring())
            ar.Write(field, N);
        else if (ar.Read(field, N) != N)
            AfxThrowArchiveException(CArchiveException::endOfFile);
    }

private:
    /// The check of both IsSignatureOKFor with the key's own RequireSignature.
    template <class Key>
    int IsSignatureOKForKey(const Key& key) const;
    /// The fields are those of the signed part cached (it was built from them): their image is kept.
    void BindFields();

    /// The DER signed part the cached digests are of; empty when none is cached.
    CByteArray m_abSignedPart;
    /// The image of fields known to be those of m_abSignedPart; empty when none is known.
    std::string m_signedFields;  ///< the octets of a CFieldImage (fieldimage.h)
};
