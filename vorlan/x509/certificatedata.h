/// \file
/// CASN1_CertificateData: the TBSCertificate, the signed part of a certificate of version 1, 2
/// or 3, to and from the fields of a CCertificate. Unique identifiers and extensions are
/// checked for form and read through GetExtensions; the conversion to CCertificate skips them.
#pragma once

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/x509/extensions.h"
#include "vorlan/x509/rdnsequence.h"

class CCertificate;

namespace vorlan::detail {
struct SSignatureAlgorithm;
}

/// TBSCertificate (RFC 5280), the signed part of a certificate; it owns its components.
class CASN1_CertificateData : public CASN1_SEQUENCE {
public:
    CASN1_CertificateData() = default;
    /// The signed part written as GetDataFrom does.
    explicit CASN1_CertificateData(const CCertificate& certificate);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_CertificateData)

    /// The signed part as the fields describe it (no unique identifiers, no extensions). A
    /// field that cannot be written so that it reads back — an unknown signature algorithm or
    /// version, a name or time out of range — raises the decoding exception.
    void GetDataFrom(const CCertificate& certificate);
    /// Version, serial number, signature algorithm, names, validity and key into the
    /// certificate, whose cached digests are dropped (they were of another signed part). A
    /// failure raises the decoding exception naming the field and changes nothing.
    void SetDataTo(CCertificate& certificate) const;

    ///@{
    /// The components inside the value.
    const CASN1_RDNSequence& GetIssuer() const;
    const CASN1_RDNSequence& GetSubject() const;
    const CASN1_INTEGER& GetSerialNumber() const;
    ///@}
    /// The extensions, in their order; none for a certificate without them.
    void GetExtensions(CCertificateExtensionArray& extensions) const;

    /// The components in order, as many as the version allows: [0] version 0-2, serial,
    /// signature, issuer, validity, subject, key; unique identifiers from version 2 on,
    /// extensions in version 3.
    static int isValid(const CASN1Type* value, int anyTag);
};

namespace vorlan::detail {
/// The components of a TBSCertificate, located in field order by its one walk; null where the
/// value has none.
struct STBSCertificate {
    unsigned long version = 0;  ///< as encoded: 0 for version 1
    const CASN1_INTEGER* serialNumber = nullptr;
    const CASN1Type* signature = nullptr;
    const CASN1Type* issuer = nullptr;
    const CASN1Type* validity = nullptr;
    const CASN1Type* subject = nullptr;
    const CASN1Type* subjectPublicKeyInfo = nullptr;
    const CASN1Type* uniqueIdentifiers[2] = {};  ///< issuerUniqueID, subjectUniqueID (from version 2)
    const CASN1Type* extensions = nullptr;       ///< the [3] of version 3
};
/// The components of `value` in order, the optional ones as its version allows, nothing after
/// them; `structure` names the value in a failure of its own shape, and `badVersion`, when given,
/// is the reason for a version that does not read ("version is not valid" otherwise).
STBSCertificate WalkTBSCertificate(const CASN1Type& value, int anyTag, const char* structure, const char* badVersion);
void CheckCertificateData(const CASN1Type& value, int anyTag);
/// The fields of the value into `certificate` as they are read (no rollback).
void ReadCertificateData(const CASN1Type& value, CCertificate& certificate);
/// The extensions of a TBSCertificate, in their order (none without them); the decoding exception
/// naming the field for a malformed one or one that appears twice.
void ReadCertificateExtensions(const CASN1Type& value, CCertificateExtensionArray& extensions);
/// The signed part of `certificate` with the signature algorithm `algorithm`.
void BuildCertificateData(CASN1_CertificateData& data, const CCertificate& certificate,
                          const SSignatureAlgorithm& algorithm);
}  // namespace vorlan::detail
