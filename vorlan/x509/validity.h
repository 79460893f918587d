// CASN1_Validity: the validity period of a certificate, notBefore and notAfter, to and from
// the times of a CCertificate; and the times of certificates and revocation lists, a UTCTime
// or (years past 2049) a GeneralizedTime.
#pragma once

#include "vorlan/asn1/sequence.h"
#include "vorlan/asn1/utctime.h"
#include "vorlan/x509/structurecheck.h"
#include "vorlan/x509/utctime.h"

class CCertificate;

class CASN1_Validity : public CASN1_SEQUENCE {
public:
    CASN1_Validity() = default;
    // Owns both from now on.
    CASN1_Validity(CASN1_UTCTime* notBefore, CASN1_UTCTime* notAfter);
    explicit CASN1_Validity(const CCertificate& certificate);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_Validity)

    // The two times; a time that cannot be written raises the decoding exception.
    void GetDataFrom(const CCertificate& certificate);
    // The two times, each kept in the text shape it arrived in; the decoding exception,
    // naming the time, for a text that does not parse (the certificate keeps its times).
    void SetDataTo(CCertificate& certificate) const;

    // Exactly two times, each a UTCTime or a GeneralizedTime.
    static int isValid(const CASN1Type* value, int anyTag);
};

namespace vorlan::detail {
void CheckValidity(const CASN1Type& value, int anyTag);
void ReadValidity(const CASN1Type& value, CCertificate& certificate);
// The next component, a UTCTime or a GeneralizedTime named `field`; the decoding exception
// for another identifier.
const CASN1Type& NextTime(CStructureReader& reader, const char* field);
// The next component when it is a UTCTime or a GeneralizedTime; null, nothing read, otherwise.
const CASN1Type* OptionalTime(CStructureReader& reader);
// The same, and its text of sound shape; failures name the field.
void CheckTime(CStructureReader& reader, const char* field);
void CheckTime(const CASN1Type& value, const char* field);
// The next time named `field` into `time`, kept in the form it arrived in; failures name the field.
void ReadTime(CStructureReader& reader, const char* field, CUTCTimeFields& time);
void ReadTime(const CASN1Type& value, const char* field, CUTCTimeFields& time);
// The value a certificate or list writes for `time`: the UTCTime of its shape, or a
// GeneralizedTime in GMT for a time read from one and for a year outside 1950-2049, which two
// digits cannot carry (RFC 5280 4.1.2.5). The decoding exception for a time that cannot be written.
CASN1Type* NewTime(const CUTCTime& time);
}  // namespace vorlan::detail
