/// \file
/// CUTCTime: one calendar instant as the fields of a UTCTime (date, minute of the day,
/// second, zone, text shape), with its readable form, order, archive form and the
/// conversions to and from time_t. CASN1_UTCTime converts to and from it.
#pragma once

#include <ctime>

#include "vorlan/asn1/utctime.h"
#include "vorlan/framework/object.h"

/// One calendar instant as the fields of a UTCTime, with its readable form, order, archive form
/// and the conversions to and from time_t. A plain value.
class CUTCTime : public CObject, public CUTCTimeFields {
    DECLARE_SERIAL(CUTCTime)
public:
    /// The current time.
    CUTCTime();
    /// The UTCTime text (its length taken modulo 256); a text that does not parse leaves
    /// fields that fail IsValid.
    CUTCTime(const CString& text);  // NOLINT: converting, as the client uses it
    /// The instant `time` in GMT, written with seconds (length 13).
    explicit CUTCTime(std::time_t time);
    /// A copy of the fields.
    CUTCTime(const CUTCTime& other) = default;
    /// Copies the fields.
    CUTCTime& operator=(const CUTCTime& other) = default;
    ~CUTCTime() override = default;

    /// Now, in GMT: zone kind 0, length 13 (the text certificates and revocation lists carry).
    void SetCurrentTime();
    /// The instant in seconds since 1970-01-01 00:00:00 GMT, the differential applied.
    std::time_t GetTime() const;
    /// The instant in GMT fields, length 13; a year beyond 0-65535 throws CNotSupportedException.
    void SetTime(std::time_t time);

    /// One second earlier; from the first day of a month to the last day of the one before.
    CUTCTime& operator--();

    /// Octet 0, then the fields little-endian (zone kind in 16 bits); loading checks the octet and IsValid.
    void Serialize(CArchive& ar) override;
};

/// Field equality: the same instant written in two zones is not equal.
int operator==(const CUTCTime& a, const CUTCTime& b);
///@{
/// Order of the instants: the differential is carried into the date.
int operator<(const CUTCTime& a, const CUTCTime& b);
int operator>(const CUTCTime& a, const CUTCTime& b);
int operator<=(const CUTCTime& a, const CUTCTime& b);
int operator>=(const CUTCTime& a, const CUTCTime& b);
///@}
