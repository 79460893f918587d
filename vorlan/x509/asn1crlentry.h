/// \file
/// The entries of a revocation list as ASN.1 values: CASN1_CRLEntry (a revoked serial number,
/// its date and, in version 2, its extensions) and CASN1_RevokedCertificates (the SEQUENCE OF
/// them), to and from CCRLEntry.
#pragma once

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/asn1/utctime.h"
#include "vorlan/framework/array.h"

class CCRLEntry;
class CUTCTime;

/// One entry of revokedCertificates: SEQUENCE { userCertificate, revocationDate,
/// crlEntryExtensions OPTIONAL }; it owns its parts.
class CASN1_CRLEntry : public CASN1_SEQUENCE {
public:
    CASN1_CRLEntry() = default;
    /// Owns both from now on.
    CASN1_CRLEntry(CASN1_INTEGER* userCertificate, CASN1_UTCTime* revocationDate);
    /// The entry written as GetDataFrom does.
    explicit CASN1_CRLEntry(const CCRLEntry& entry);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_CRLEntry)

    /// The serial number with its sign, the date and any extensions; a date or extension that
    /// cannot be written raises the decoding exception.
    void GetDataFrom(const CCRLEntry& entry);
    /// Serial, date and extensions; a failure names the field and leaves the entry unchanged.
    void SetDataTo(CCRLEntry& entry) const;

    /// An INTEGER, a UTCTime and optionally entry extensions (those of a version 2 list).
    static int isValid(const CASN1Type* value, int anyTag);
};

/// revokedCertificates: the SEQUENCE OF entries, owned.
class CASN1_RevokedCertificates : public CASN1_SEQUENCE {
public:
    CASN1_RevokedCertificates() = default;
    /// The entries written as GetDataFrom does.
    explicit CASN1_RevokedCertificates(const CArray<CCRLEntry*, CCRLEntry*>& entries);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_RevokedCertificates)

    /// One CRLEntry per entry, in order.
    void GetDataFrom(const CArray<CCRLEntry*, CCRLEntry*>& entries);
    /// The entries, replacing (and deleting) those of the array; a failure names the field
    /// and leaves the array unchanged.
    void SetDataTo(CArray<CCRLEntry*, CCRLEntry*>& entries) const;

    /// Every element a CRLEntry; may be empty.
    static int isValid(const CASN1Type* value, int anyTag);
};

namespace vorlan::detail {
/// The date entries are read over, one that needs no clock: 1970-01-01 00:00:00 GMT.
const CUTCTime& Epoch();
/// A RevokedCertificates value whose entries are of a version 2 list (extensions allowed) or not.
void CheckEntries(const CASN1Type& value, int anyTag, bool version2);
/// The entries of a RevokedCertificates value in place of those of `entries` (deleted), or,
/// on failure, nothing changed.
void ReadEntries(const CASN1Type& value, CArray<CCRLEntry*, CCRLEntry*>& entries);
}  // namespace vorlan::detail
