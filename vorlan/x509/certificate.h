// CCertificate: an X.509 certificate as the client handles it — a flat, copyable, archivable
// object with the certificate's fields, the RSA public key and the signature in fixed-width
// fields and the cached digests of the signed part. It signs itself (SHA-1 with RSA), checks
// its signature against an issuer, tests validity periods and issuer relations and prints
// itself. CASN1_Certificate fills it (SetDataTo) and is built from it (GetDataFrom).
#pragma once

#include "vorlan/rsa/rsaprivatekey.h"
#include "vorlan/x509/distinguishedname.h"
#include "vorlan/x509/extensions.h"
#include "vorlan/x509/serialnumber.h"
#include "vorlan/x509/utctime.h"

class CASN1_Certificate;

namespace detail {
struct SSignatureAlgorithm;
}

class CCertificate : public CObject {
    DECLARE_SERIAL(CCertificate)
public:
    // Octets of the key and signature fields: keys and signatures of up to 2,048 bits.
    static constexpr int kFieldSize = CRSAPublicKey::kFieldSize;
    static constexpr unsigned short kMaxBits = CRSAPublicKey::kMaxBits;

    // Version 0, empty serial number and names, both times now, SHA-1 with RSA, zero key
    // and signature, no digest.
    CCertificate();
    // Deep copies of every field; a digest only when its flag is set.
    CCertificate(const CCertificate& other);
    CCertificate& operator=(const CCertificate& other);
    ~CCertificate() override = default;

    // Empties the serial number, the issuer and the subject (and drops the received octets).
    void Done();

    // Bit length, public exponent and modulus to or from the key.
    void SetDataTo(CRSAPublicKey& key) const;
    void GetDataFrom(const CRSAPublicKey& key);

    // Signs with SHA-1 with RSA: the cached SHA-1 digest, or that of the signed part built
    // from the fields (then cached). A key longer than 2,048 bits raises CUnlockException and,
    // like any failure, changes nothing.
    void SignWith(const CRSAPrivateKey& key);
    // 1 when the signature is that of the signed part under the key, else 0. The signature
    // must be exactly as long as the key's modulus, whatever the stored bit counts say.
    int IsSignatureOKFor(const CRSAPublicKey& key) const;
    int IsSignatureOKFor(const CCertificate& issuer) const;
    // notBefore <= t <= notAfter.
    int IsValidationPeriodOKFor(const CUTCTime& t) const;
    // This subject is `other`'s issuer and this certificate is valid now. Names only: the
    // extensions (basic constraints, key usage) are not looked at; see IsCA.
    int IsIssuerOf(const CCertificate& other) const;
    // Issuer equals subject.
    int IsSelfSigned() const;

    // The DER of the certificate: the octets it was read from, when it was read from DER and
    // not signed since (they keep extensions and unique identifiers); else built from the fields.
    void GetEncoding(CByteArray& out) const;
    // The extensions of the received octets (none for a certificate not read from DER); the
    // decoding exception naming the field for malformed ones.
    void GetExtensions(CCertificateExtensionArray& extensions) const;
    // 1 when basic constraints say cA; 0 otherwise, also for malformed extensions.
    int IsCA() const;
    // 1 when a critical extension is one the library does not read (all but basic
    // constraints), or the extensions are malformed.
    int HasUnknownCriticalExtension() const;

    // The readable text: version, serial, algorithm, names, times and the key in hex.
    operator CString() const;  // NOLINT: the client's text conversion

    // Format octet 1, the fixed fields, the digests, then serial, issuer, times and subject.
    // Loading accepts formats 0 and 1 and refuses an unknown algorithm and bit counts past
    // 2,048 (generic archive exception); a failed load leaves the certificate as it was.
    void Serialize(CArchive& ar) override;

    BYTE m_bVersion = 0;  // as encoded: 0 for version 1, 2 for version 3
    CSerialNumber m_serialNumber;
    int m_nSignatureAlgorithm = 2;  // 0 MD2, 1 MD5, 2 SHA-1, each with RSA
    CDistinguishedName m_issuer;
    CUTCTime m_notBefore;
    CUTCTime m_notAfter;
    CDistinguishedName m_subject;
    WORD m_wKeyBits = 0;
    BYTE m_publicExponent[kFieldSize] = {};
    BYTE m_modulus[kFieldSize] = {};
    BYTE m_signature[kFieldSize] = {};  // right-aligned: the last (bits + 7) / 8 octets
    WORD m_wSignatureBits = 0;
    BYTE m_digest16[16] = {};  // MD2 or MD5 of the signed part, after m_nSignatureAlgorithm
    int m_bHasDigest16 = 0;
    BYTE m_digestSha1[20] = {};
    int m_bHasDigestSha1 = 0;

private:
    friend class CASN1_Certificate;
    friend class CASN1_CertificateData;

    // Drops the cached digests and the received octets: the signed part is another one.
    void ForgetSignedPart();

    // The cached digest of the algorithm's size, null when none is cached.
    const BYTE* CachedDigest(const detail::SSignatureAlgorithm& algorithm) const;
    void CacheDigest(const detail::SSignatureAlgorithm& algorithm, const BYTE* digest);

    // The certificate's DER as received, empty when it was not read from DER.
    CByteArray m_abReceived;
};

// Every field but the digests and the received octets.
int operator==(const CCertificate& a, const CCertificate& b);

// Arrays hold certificates by value: the framework's element functions construct and destroy
// them (destroying does what Done() does and frees the rest); each archives in its own form.
void SerializeElements(CArchive& ar, CCertificate* elements, int count);
