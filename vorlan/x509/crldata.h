/// \file
/// CASN1_CertificateRevocationListData: the signed part of a revocation list (version 2 only: the
/// version; algorithm, issuer, both update times, the entries and, version 2 only, the list's
/// extensions [0]), to and from the fields of a CCertificateRevocationList.
#pragma once

#include <memory>

#include "vorlan/asn1/sequence.h"
#include "vorlan/x509/asn1crlentry.h"

class CCertificateRevocationList;

namespace vorlan::detail {
struct SSignatureAlgorithm;
}

/// TBSCertList (RFC 5280), the signed part of a revocation list; it owns its components.
class CASN1_CertificateRevocationListData : public CASN1_SEQUENCE {
public:
    CASN1_CertificateRevocationListData() = default;
    /// The signed part written as GetDataFrom does.
    explicit CASN1_CertificateRevocationListData(const CCertificateRevocationList& crl);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_CertificateRevocationListData)

    /// Algorithm, issuer, lastUpdate, nextUpdate (when the list names one) and the entries (an
    /// empty SEQUENCE when there are none, unless the list was read without one); no version for a version 1 list, INTEGER 1 in front and the extensions [0]
    /// (when there are any) after for a version 2 list. An unknown algorithm, a name, time or
    /// extension that cannot be written, or extensions in a version 1 list raise the decoding
    /// exception.
    void GetDataFrom(const CCertificateRevocationList& crl);
    /// Algorithm, issuer, times and entries into the list, whose cached digests are dropped;
    /// a failure names the field and changes nothing.
    void SetDataTo(CCertificateRevocationList& crl) const;

    /// [version INTEGER 0 or 1], signature, issuer, lastUpdate, [nextUpdate],
    /// [revokedCertificates], and with version 1 (a version 2 list) [crlExtensions [0]] and
    /// entry extensions; each extension read, none twice.
    static int isValid(const CASN1Type* value, int anyTag);
};

namespace vorlan::detail {
void CheckCRLData(const CASN1Type& value, int anyTag);
/// The fields of the value into `crl` as they are read (no rollback, but the entries are
/// replaced whole).
void ReadCRLData(const CASN1Type& value, CCertificateRevocationList& crl);
/// A list at `octets` read in one pass: the list as a value without the revokedCertificates of
/// its signed part, whose entries are read straight from the octets into `entries` (replaced;
/// only checked when null). Null, `entries` unchanged, when the octets are not one element of
/// the plain form read here (definite lengths, low tag numbers, entries of a primitive INTEGER
/// and UTCTime, nothing after them in the signed part) or an entry does not read; the generic
/// decoder then decides. The value is not checked here.
std::unique_ptr<CASN1_SEQUENCE> ScanCRL(const BYTE* octets, DWORD length, CArray<CCRLEntry*, CCRLEntry*>* entries);
/// The signed part of `crl` with the signature algorithm `algorithm`.
void BuildCRLData(CASN1_CertificateRevocationListData& data, const CCertificateRevocationList& crl,
                  const SSignatureAlgorithm& algorithm);
}  // namespace vorlan::detail
