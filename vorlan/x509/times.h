// The times of certificates and revocation lists as the structures read and write them: a
// UTCTime or (years outside 1950-2049) a GeneralizedTime.
#pragma once

#include "vorlan/x509/structurecheck.h"
#include "vorlan/x509/utctime.h"

class CCertificate;

namespace vorlan::detail {
void CheckValidity(const CASN1Type& value, int anyTag);
void ReadValidity(const CASN1Type& value, CCertificate& certificate);
// The next component, a UTCTime or a GeneralizedTime named `field`; the decoding exception
// for another identifier. Reader reads components (CStructureReader) or elements.
template <class Reader>
auto& NextTime(Reader& reader, const char* field) {
    auto* generalized = reader.Optional(kASN1GeneralizedTime);
    return generalized ? *generalized : reader.Next(kASN1UTCTime, field);
}
// The next component when it is a UTCTime or a GeneralizedTime; null, nothing read, otherwise.
template <class Reader>
auto* OptionalTime(Reader& reader) {
    auto* generalized = reader.Optional(kASN1GeneralizedTime);
    return generalized ? generalized : reader.Optional(kASN1UTCTime);
}
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
