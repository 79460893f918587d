/// \file
/// CASN1_UTCTime: the text YYMMDDhhmm[ss] followed by Z or by + or - and HHMM.
/// CASN1_GeneralizedTime: the text YYYYMMDDhhmmssZ, the one form certificates use for
/// years past 2049.
/// CUTCTimeFields: the fields of such a text; the client's CUTCTime (x509) is built on them,
/// and the values convert to and from them.
#pragma once

#include "vorlan/asn1/constructed.h"

/// The fields of a UTCTime or GeneralizedTime text, with the text's shape so that a time read
/// is written back as received. A plain value.
struct CUTCTimeFields {
    WORD m_wYear = 0;          ///< full year, 1950-2049 when read from two digits
    BYTE m_bMonth = 0;         ///< 1-12
    BYTE m_bDay = 0;           ///< 1-31
    WORD m_wMinuteOfDay = 0;   ///< hours * 60 + minutes
    BYTE m_bSecond = 0;        ///< 0 when the text has no seconds
    DWORD m_nZoneKind = 0;     ///< 0 GMT ("Z"), 1 ahead of GMT ("+"), 2 behind GMT ("-")
    WORD m_wZoneMinutes = 0;   ///< the differential, 0 for GMT
    BYTE m_bFormatLength = 0;  ///< the text shape: 11, 13, 15 or 17 characters, or kGeneralizedFormat

    /// The shape of a time read from a GeneralizedTime, YYYYMMDDhhmmssZ (15 characters; the
    /// high bit tells it from the UTCTime shape of 15). Such a time is in GMT.
    static constexpr BYTE kGeneralizedFormat = 0x8F;

    /// Parses `length` characters of the text; a length other than 11, 13, 15 or 17, one past
    /// the text, or a non-digit where a digit belongs leaves the fields unchanged.
    void Setup(const CString& text, unsigned char length);
    /// Reads a UTCTime text of `length` octets as CASN1_UTCTime::SetDataTo does: 1, or 0 with
    /// the fields unchanged for a text out of shape, out of range, or one that would not be
    /// written back octet for octet.
    int ReadText(const unsigned char* text, unsigned long length);
    /// 1 when every field is in range.
    int IsValid() const;
    /// The last day of a month (1-12); every fourth year is a leap year (no century rule).
    static BYTE DaysInMonth(BYTE month, WORD year);
    /// "5 March, 1998, 14:07 09 sec GMT" and its shorter forms; empty for fields out of range.
    CString GetTimeAsString(int withSeconds, int timeOnly) const;
    /// The UTCTime text of the fields at `text` (room for 17); its length, 0 when it cannot be
    /// written (fields out of range, a GeneralizedTime shape, or a year outside 1950-2049 that
    /// would read back wrong).
    unsigned WriteText(unsigned char* text) const;

private:
    /// Setup on `length` characters at `c`.
    void setup(const unsigned char* c, unsigned char length);
};

/// UTCTime: the text YYMMDDhhmm[ss] followed by Z or by + or - and HHMM.
class CASN1_UTCTime : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_UTCTime() { identifier = kASN1UTCTime; }
    /// The text of `time`, as GetDataFrom writes it.
    explicit CASN1_UTCTime(const CUTCTimeFields& time);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_UTCTime)

    /// The shape of the text (length 11, 13, 15 or 17, digits and zone character); ranges unchecked.
    static int isValid(const CASN1Type* value, int anyTag);

    /// The contents become the text of `time` in its format length; throws the decoding
    /// exception for a time that cannot be written.
    void GetDataFrom(const CUTCTimeFields& time);
    /// The text parsed into `time`, keeping its length so that it is written back as received;
    /// throws the decoding exception (time unchanged) for a text out of shape or range.
    void SetDataTo(CUTCTimeFields& time) const;

    /// The constructed dump, then the readable time when the text is sound.
    void Dump(unsigned long indent, CFile* file) const override;
};

/// GeneralizedTime in the one form certificates use, YYYYMMDDhhmmssZ (years past 2049).
class CASN1_GeneralizedTime : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_GeneralizedTime() { identifier = kASN1GeneralizedTime; }
    /// The text of `time`, as GetDataFrom writes it.
    explicit CASN1_GeneralizedTime(const CUTCTimeFields& time);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_GeneralizedTime)

    /// The shape YYYYMMDDhhmmssZ, digits and "Z"; ranges unchecked.
    static int isValid(const CASN1Type* value, int anyTag);

    /// The contents become the text of `time`, which must be in GMT with a year of four digits;
    /// throws the decoding exception for a time that cannot be written so.
    void GetDataFrom(const CUTCTimeFields& time);
    /// The text parsed into `time` (shape kGeneralizedFormat); throws the decoding exception
    /// (time unchanged) for a text out of shape or range.
    void SetDataTo(CUTCTimeFields& time) const;
};
