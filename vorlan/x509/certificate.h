/// \file
/// CCertificate: an X.509 certificate as the client handles it — a flat, copyable, archivable
/// object with the certificate's fields, the RSA public key and the signature in fixed-width
/// fields (or an EC key, P-256 or P-384, by its curve and point) and the cached digests of the
/// signed part. It signs itself (SHA-1, SHA-256, SHA-384 or SHA-512 with RSA), checks
/// its signature against an issuer, tests validity periods and issuer relations and prints
/// itself. CASN1_Certificate fills it (SetDataTo) and is built from it (GetDataFrom).
#pragma once

#include <span>

#include "vorlan/ec/ecpublickey.h"
#include "vorlan/x509/distinguishedname.h"
#include "vorlan/x509/extensions.h"
#include "vorlan/x509/serialnumber.h"
#include "vorlan/x509/signedobject.h"
#include "vorlan/x509/utctime.h"

class CASN1_Certificate;
class CCertificateRevocationList;

/// The signature fields, SignWith and the signature check by key are CSignedObject's.
class CCertificate : public CSignedObject {
    DECLARE_SERIAL(CCertificate)
public:
    /// Version 0, empty serial number and names, both times now, SHA-1 with RSA, zero key
    /// and signature, no digest.
    CCertificate();
    /// Deep copies of every field; a digest only when its flag is set.
    CCertificate(const CCertificate& other);
    /// Deep copies of every field; a digest only when its flag is set.
    CCertificate& operator=(const CCertificate& other);
    /// The same, the names, the signed part and the received octets taken over.
    CCertificate& operator=(CCertificate&& other);
    ~CCertificate() override = default;

    /// Empties the serial number, the issuer and the subject (and drops the received octets).
    void Done();

    /// Bit length, public exponent and modulus to the key; CUnlockException for a certificate
    /// with an EC key.
    void SetDataTo(CRSAPublicKey& key) const;
    /// The key's bit length, public exponent and modulus into the certificate (an RSA key).
    void GetDataFrom(const CRSAPublicKey& key);
    /// An EC key into the certificate: the curve, the SEC 1 point as given (kept to be written
    /// back as it is) and the curve's bit length; the RSA fields zero. A point not on the curve
    /// raises CUnlockException and changes nothing.
    void GetDataFrom(EEllipticCurve curve, std::span<const BYTE> point);
    /// Whether the key is an EC key (m_bKeyCurve not 0).
    bool HasECKey() const { return m_bKeyCurve != 0; }
    /// The EC key; CUnlockException for an RSA key or a point not on the curve.
    CECPublicKey GetECPublicKey() const;

    using CSignedObject::IsSignatureOKFor;
    /// The signature check with the issuer's key, RSA or EC.
    int IsSignatureOKFor(const CCertificate& issuer) const;
    /// The signature check of a certificate or list with this certificate's key, RSA or EC; 0
    /// with the reason "signature not checkable" for an EC point that does not read.
    int IsSignatureOfKey(const CSignedObject& signedObject) const;
    /// notBefore <= t <= notAfter.
    int IsValidationPeriodOKFor(const CUTCTime& t) const;
    /// This subject is `other`'s issuer and this certificate is valid now. Names only: the
    /// extensions (basic constraints, key usage) are not looked at; see IsCA.
    int IsIssuerOf(const CCertificate& other) const;
    /// Issuer equals subject.
    int IsSelfSigned() const;
    /// 1 when the list is of this certificate's issuer and revokes its serial number (compared
    /// with its sign); the revocation dates are not looked at.
    int IsPresentInCRL(const CCertificateRevocationList& crl) const;

    /// The DER of the certificate: the octets it was read from, when it was read from DER, not
    /// signed since and its fields are still those read (the octets keep unique identifiers, and
    /// extensions in a list that does not read); else built from the fields, m_extensions too.
    void GetEncoding(CByteArray& out) const;
    /// The extensions: those of the received octets while the fields are still those read
    /// (the decoding exception naming the field for a malformed list), else m_extensions.
    void GetExtensions(CCertificateExtensionArray& extensions) const;
    /// 1 when basic constraints say cA; 0 otherwise, also for malformed extensions.
    int IsCA() const;
    /// 1 when a critical extension is one CCertificateExtensions does not read, or the
    /// extensions or the value of one it reads are malformed.
    int HasUnknownCriticalExtension() const;

    /// The readable text: version, serial, algorithm, names, times and the key in hex (an EC
    /// key by its curve and point).
    operator CString() const;  // NOLINT: the client's text conversion

    /// Format octet 1 (2 with a SHA-256 digest, 3 with a SHA-384 or SHA-512 one; kWideFields added
    /// for keys or signatures past 2,048 bits), the fixed fields, the digests, then serial, issuer,
    /// times and subject; with extensions the format octet has the high bit set and they follow the
    /// subject. An EC key sets the bit 0x40 and follows as its curve octet and point (an octet
    /// array) at the end. Loading accepts formats 0 to 3 (each with those bits too) and refuses an
    /// unknown algorithm, bit counts past the fields and an unknown curve or a point not on it
    /// (generic archive exception); a failed load leaves the certificate as it was.
    void Serialize(CArchive& ar) override;

    BYTE m_bVersion = 0;  ///< as encoded: 0 for version 1, 2 for version 3
    CSerialNumber m_serialNumber;  ///< the serial number, with its sign
    CDistinguishedName m_issuer;  ///< the issuer's name
    CUTCTime m_notBefore;  ///< the start of the validity period
    CUTCTime m_notAfter;  ///< the end of the validity period
    CDistinguishedName m_subject;  ///< the subject's name
    WORD m_wKeyBits = 0;  ///< the subject key's modulus length in bits (an EC key's: its curve's, 256 or 384)
    BYTE m_publicExponent[kFieldSize] = {};  ///< the subject key's public exponent, right-aligned
    BYTE m_modulus[kFieldSize] = {};  ///< the subject key's modulus, right-aligned
    /// 0 for an RSA key; for an EC key 1 + its EEllipticCurve (1 P-256, 2 P-384)
    BYTE m_bKeyCurve = 0;
    /// An EC key's point in SEC 1 form as read (uncompressed or compressed); empty for RSA.
    CByteArray m_abKeyPoint;
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
    /// Drops the cached digests and the received octets: the signed part is another one.
    void ForgetSignedPart();
    /// Both assignments: each field copied, or taken over from an rvalue `other`.
    template <class Source>
    void AssignFrom(Source&& other);

    /// The certificate's DER as received, empty when it was not read from DER.
    CByteArray m_abReceived;
};

/// Every field, the extensions too, but the digests and the received octets.
int operator==(const CCertificate& a, const CCertificate& b);

/// Arrays hold certificates by value: the framework's element functions construct and destroy
/// them (destroying does what Done() does and frees the rest); each archives in its own form.
void SerializeElements(CArchive& ar, CCertificate* elements, int count);
