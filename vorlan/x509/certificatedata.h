// CASN1_CertificateData: the TBSCertificate, the signed part of a certificate of version 1, 2
// or 3, to and from the fields of a CCertificate. Unique identifiers and extensions are
// checked for form and read through GetExtensions; the conversion to CCertificate skips them.
#pragma once

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/x509/extensions.h"
#include "vorlan/x509/rdnsequence.h"

class CCertificate;

namespace vorlan::detail {
struct SSignatureAlgorithm;
}

class CASN1_CertificateData : public CASN1_SEQUENCE {
public:
    CASN1_CertificateData() = default;
    explicit CASN1_CertificateData(const CCertificate& certificate);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_CertificateData)

    // The signed part as the fields describe it (no unique identifiers, no extensions). A
    // field that cannot be written so that it reads back — an unknown signature algorithm or
    // version, a name or time out of range — raises the decoding exception.
    void GetDataFrom(const CCertificate& certificate);
    // Version, serial number, signature algorithm, names, validity and key into the
    // certificate, whose cached digests are dropped (they were of another signed part). A
    // failure raises the decoding exception naming the field and changes nothing.
    void SetDataTo(CCertificate& certificate) const;

    // The components inside the value, one position further with an explicit version.
    const CASN1_RDNSequence& GetIssuer() const;
    const CASN1_RDNSequence& GetSubject() const;
    const CASN1_INTEGER& GetSerialNumber() const;
    // The extensions, in their order; none for a certificate without them.
    void GetExtensions(CCertificateExtensionArray& extensions) const { vorlan::detail::ReadExtensions(*this, extensions); }

    // The components in order, as many as the version allows: [0] version 0-2, serial,
    // signature, issuer, validity, subject, key; unique identifiers from version 2 on,
    // extensions in version 3.
    static int isValid(const CASN1Type* value, int anyTag);
};

namespace vorlan::detail {
void CheckCertificateData(const CASN1Type& value, int anyTag);
// The fields of the value into `certificate` as they are read (no rollback).
void ReadCertificateData(const CASN1Type& value, CCertificate& certificate);
// The signed part of `certificate` with the signature algorithm `algorithm`.
void BuildCertificateData(CASN1_CertificateData& data, const CCertificate& certificate,
                          const SSignatureAlgorithm& algorithm);
}  // namespace vorlan::detail
