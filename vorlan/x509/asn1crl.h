/// \file
/// CASN1_CertificateRevocationList: the signed revocation list — tbsCertList, signatureAlgorithm
/// and the signature — to and from a CCertificateRevocationList. Decoded from DER it digests the
/// signed part exactly as it arrived.
#pragma once

#include "vorlan/x509/crldata.h"
#include "vorlan/x509/signedstructure.h"

/// CertificateList ::= SEQUENCE { tbsCertList, signatureAlgorithm, signatureValue } (RFC 5280),
/// to and from a CCertificateRevocationList. It owns its parts.
class CASN1_CertificateRevocationList : public CASN1_SignedStructure {
public:
    CASN1_CertificateRevocationList() = default;
    /// Owns the three from now on.
    CASN1_CertificateRevocationList(CASN1_CertificateRevocationListData* data, CASN1_AlgorithmIdentifier* algorithm,
                                    CASN1_BIT_STRING* signature);
    /// The list written as GetDataFrom does.
    explicit CASN1_CertificateRevocationList(const CCertificateRevocationList& crl);
    /// Decodes and checks the shape; otherwise the value is cleared and the decoding exception
    /// says "CRL contents is not valid" and which field failed. A list in memory in plain DER
    /// is checked by one scan of its octets, and its components are built when first used;
    /// SetDataTo reads it from the octets.
    explicit CASN1_CertificateRevocationList(CDEREncoding& der);
    DECLARE_ASN1_VALUE_COPIES(CASN1_CertificateRevocationList)
    /// A deep copy, the received octets included.
    CASN1_CertificateRevocationList& operator=(const CASN1_CertificateRevocationList& other) = default;
    /// Takes the parts and the received octets of `source`, which is left empty.
    void operatorMOVE(CASN1_CertificateRevocationList& source) { CASN1_SignedStructure::operatorMOVE(source); }

    /// The list as its fields describe it; the decoding exception for fields that cannot be
    /// written (see CASN1_CertificateRevocationListData) or a signature past 4,096 bits.
    void GetDataFrom(const CCertificateRevocationList& crl);
    /// Every field of the list and the digest of the signed part (as received, when it was
    /// decoded from DER); a failure names the field and leaves the list unchanged.
    void SetDataTo(CCertificateRevocationList& crl) const;

    /// A CertificateRevocationListData, an AlgorithmIdentifier and a BIT STRING of whole octets.
    static int isValid(const CASN1Type* value, int anyTag);

private:
    /// The list at the position checked by vorlan::detail::ScanCRL and its components deferred; 0, the
    /// position unchanged, when the scan does not take it.
    int decodeScanned(CDEREncoding& der);
};
