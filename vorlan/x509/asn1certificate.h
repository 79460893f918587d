/// \file
/// CASN1_Certificate: the signed certificate — tbsCertificate, signatureAlgorithm and the
/// signature — to and from a CCertificate. Decoded from DER it keeps the octets as received,
/// so that a CCertificate read from it can hand them on.
#pragma once

#include "vorlan/x509/certificatedata.h"
#include "vorlan/x509/signedstructure.h"

/// Certificate ::= SEQUENCE { tbsCertificate, signatureAlgorithm, signatureValue } (RFC 5280),
/// to and from a CCertificate. It owns its parts; accessors give references into it.
class CASN1_Certificate : public CASN1_SignedStructure {
public:
    CASN1_Certificate() = default;
    /// Owns the three from now on.
    CASN1_Certificate(CASN1_CertificateData* data, CASN1_AlgorithmIdentifier* algorithm, CASN1_BIT_STRING* signature);
    /// The certificate written as GetDataFrom does.
    explicit CASN1_Certificate(const CCertificate& certificate);
    /// Decodes and checks the shape; otherwise the value is cleared and the decoding exception
    /// says "Certificate contents is not valid" and which field failed.
    explicit CASN1_Certificate(CDEREncoding& der);
    DECLARE_ASN1_VALUE_COPIES(CASN1_Certificate)
    /// A deep copy, the received octets included.
    CASN1_Certificate& operator=(const CASN1_Certificate& other) = default;
    /// Takes the parts and the received octets of `source`, which is left empty.
    void operatorMOVE(CASN1_Certificate& source) { CASN1_SignedStructure::operatorMOVE(source); }

    /// The certificate as its fields describe it, signed part, algorithm and signature; the
    /// decoding exception for fields that cannot be written (see CASN1_CertificateData) or a
    /// signature longer than 4,096 bits.
    void GetDataFrom(const CCertificate& certificate);
    /// Every field of the certificate, the digest of the signed part (as received, when it
    /// was decoded from DER) and the received octets; a failure names the field and leaves
    /// the certificate unchanged.
    void SetDataTo(CCertificate& certificate) const;

    ///@{
    /// The issuer, the subject or the serial number of the signed part; the decoding exception
    /// when the structure is malformed.
    const CASN1_RDNSequence& GetIssuer() const;
    const CASN1_RDNSequence& GetSubject() const;
    const CASN1_INTEGER& GetSerialNumber() const;
    ///@}

    /// A CertificateData, an AlgorithmIdentifier (not compared with the inner one) and a BIT
    /// STRING of whole octets.
    static int isValid(const CASN1Type* value, int anyTag);

private:
    void typeParts();
};

/// Arrays hold certificate values: the framework's element functions construct them empty and
/// destroy them; each archives in the value form and on loading must be a certificate (generic
/// archive exception otherwise).
void SerializeElements(CArchive& ar, CASN1_Certificate* elements, int count);

namespace vorlan::detail {
void CheckCertificate(const CASN1Type& value, int anyTag);
}  // namespace vorlan::detail
