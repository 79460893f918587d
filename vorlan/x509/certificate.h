// CCertificate: an X.509 certificate as the client handles it — a flat, copyable, archivable
// object with the certificate's fields, the RSA public key and the signature in fixed-width
// fields and the cached digests of the signed part. It signs itself (SHA-1, SHA-256, SHA-384 or SHA-512 with RSA), checks
// its signature against an issuer, tests validity periods and issuer relations and prints
// itself. CASN1_Certificate fills it (SetDataTo) and is built from it (GetDataFrom).
#pragma once

#include "vorlan/x509/distinguishedname.h"
#include "vorlan/x509/extensions.h"
#include "vorlan/x509/serialnumber.h"
#include "vorlan/x509/signedobject.h"
#include "vorlan/x509/utctime.h"

class CASN1_Certificate;
class CCertificateRevocationList;

// The signature fields, SignWith and the signature check by key are CSignedObject's.
class CCertificate : public CSignedObject {
    DECLARE_SERIAL(CCertificate)
public:
    // Version 0, empty serial number and names, both times now, SHA-1 with RSA, zero key
    // and signature, no digest.
    CCertificate();
    // Deep copies of every field; a digest only when its flag is set.
    CCertificate(const CCertificate& other);
    CCertificate& operator=(const CCertificate& other);
    // The same, the names, the signed part and the received octets taken over.
    CCertificate& operator=(CCertificate&& other);
    ~CCertificate() override = default;

    // Empties the serial number, the issuer and the subject (and drops the received octets).
    void Done();

    // Bit length, public exponent and modulus to or from the key.
    void SetDataTo(CRSAPublicKey& key) const;
    void GetDataFrom(const CRSAPublicKey& key);

    using CSignedObject::IsSignatureOKFor;
    // The signature check with the issuer's key.
    int IsSignatureOKFor(const CCertificate& issuer) const;
    // notBefore <= t <= notAfter.
    int IsValidationPeriodOKFor(const CUTCTime& t) const;
    // This subject is `other`'s issuer and this certificate is valid now. Names only: the
    // extensions (basic constraints, key usage) are not looked at; see IsCA.
    int IsIssuerOf(const CCertificate& other) const;
    // Issuer equals subject.
    int IsSelfSigned() const;
    // 1 when the list is of this certificate's issuer and revokes its serial number (compared
    // with its sign); the revocation dates are not looked at.
    int IsPresentInCRL(const CCertificateRevocationList& crl) const;

    // The DER of the certificate: the octets it was read from, when it was read from DER, not
    // signed since and its fields are still those read (the octets keep extensions and unique
    // identifiers); else built from the fields.
    void GetEncoding(CByteArray& out) const;
    /// The extensions: those of the received octets while the fields are still those read
    /// (the decoding exception naming the field for a malformed list), else m_extensions.
    void GetExtensions(CCertificateExtensionArray& extensions) const;
    /// 1 when basic constraints say cA; 0 otherwise, also for malformed extensions.
    int IsCA() const;
    /// 1 when a critical extension is one CCertificateExtensions does not read, or the
    /// extensions or the value of one it reads are malformed.
    int HasUnknownCriticalExtension() const;

    // The readable text: version, serial, algorithm, names, times and the key in hex.
    operator CString() const;  // NOLINT: the client's text conversion

    // Format octet 1 (2 with a SHA-256 digest, 3 with a SHA-384 or SHA-512 one; kWideFields added
    // for keys or signatures past 2,048 bits), the fixed fields, the digests, then serial, issuer,
    // times and subject; with extensions the format octet has the high bit set and they follow the
    // subject. Loading accepts formats 0 to 3 (each with those bits too) and refuses an unknown
    // algorithm and bit counts past the fields (generic archive exception); a failed load leaves
    // the certificate as it was.
    void Serialize(CArchive& ar) override;

    BYTE m_bVersion = 0;  // as encoded: 0 for version 1, 2 for version 3
    CSerialNumber m_serialNumber;
    CDistinguishedName m_issuer;
    CUTCTime m_notBefore;
    CUTCTime m_notAfter;
    CDistinguishedName m_subject;
    WORD m_wKeyBits = 0;
    BYTE m_publicExponent[kFieldSize] = {};
    BYTE m_modulus[kFieldSize] = {};
    /// The extensions of a version 3 certificate (m_bVersion 2), written in this order; read
    /// from the received octets when they form a well-formed list (else none).
    CCertificateExtensionArray m_extensions;

private:
    friend class CASN1_Certificate;
    friend class CASN1_CertificateData;

    void EncodeFields(const vorlan::detail::SSignatureAlgorithm& algorithm, CByteArray& out) const override;
    void EncodeReadAgain(const CByteArray& octets, CByteArray& out) const override;
    bool ImageFields(vorlan::detail::CFieldImage& image) const override;
    void Signed() override { m_abReceived.RemoveAll(); }
    // Drops the cached digests and the received octets: the signed part is another one.
    void ForgetSignedPart();
    // Both assignments: each field copied, or taken over from an rvalue `other`.
    template <class Source>
    void AssignFrom(Source&& other);

    // The certificate's DER as received, empty when it was not read from DER.
    CByteArray m_abReceived;
};

// Every field, the extensions too, but the digests and the received octets.
int operator==(const CCertificate& a, const CCertificate& b);

// Arrays hold certificates by value: the framework's element functions construct and destroy
// them (destroying does what Done() does and frees the rest); each archives in its own form.
void SerializeElements(CArchive& ar, CCertificate* elements, int count);
