#include "vorlan/x509/utctime.h"

#include <cstdint>

#include "vorlan/framework/archive.h"
#include "vorlan/framework/time.h"

IMPLEMENT_SERIAL(CUTCTime, CObject, VERSIONABLE_SCHEMA | 0)

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::int64_t instant(const CUTCTime& t) {
    const std::int64_t local =
        daysFromCivil(t.m_wYear, t.m_bMonth, t.m_bDay) * 86400 + t.m_wMinuteOfDay * 60 + t.m_bSecond;
    // Local time ahead of GMT ("+") is later on the clock than the same instant in GMT.
    const std::int64_t differential = std::int64_t{t.m_wZoneMinutes} * 60;
    return t.m_nZoneKind == 0 ? local : t.m_nZoneKind == 1 ? local - differential : local + differential;
}

}  // namespace

CUTCTime::CUTCTime() { SetCurrentTime(); }

CUTCTime::CUTCTime(const CString& text) {
    Setup(text, static_cast<unsigned char>(text.GetLength()));
}

CUTCTime::CUTCTime(std::time_t time) { SetTime(time); }

void CUTCTime::SetCurrentTime() { SetTime(CTime::GetCurrentTime().GetTime()); }

std::time_t CUTCTime::GetTime() const { return static_cast<std::time_t>(instant(*this)); }

void CUTCTime::SetTime(std::time_t time) {
    struct tm fields {};
    if (!CTime(time).GetGmtTm(&fields) || fields.tm_year + 1900 < 0 || fields.tm_year + 1900 > 0xFFFF)
        AfxThrowNotSupportedException();
    m_wYear = static_cast<WORD>(fields.tm_year + 1900);
    m_bMonth = static_cast<BYTE>(fields.tm_mon + 1);
    m_bDay = static_cast<BYTE>(fields.tm_mday);
    m_wMinuteOfDay = static_cast<WORD>(fields.tm_hour * 60 + fields.tm_min);
    m_bSecond = static_cast<BYTE>(fields.tm_sec);
    m_nZoneKind = 0;
    m_wZoneMinutes = 0;
    m_bFormatLength = 13;
}

CUTCTime& CUTCTime::operator--() {
    if (m_bSecond > 0) {
        --m_bSecond;
        return *this;
    }
    m_bSecond = 59;
    if (m_wMinuteOfDay > 0) {
        --m_wMinuteOfDay;
        return *this;
    }
    m_wMinuteOfDay = 1439;
    if (m_bDay > 1) {
        --m_bDay;
        return *this;
    }
    if (m_bMonth > 1) {
        --m_bMonth;
    } else {
        m_bMonth = 12;
        --m_wYear;
    }
    m_bDay = DaysInMonth(m_bMonth, m_wYear);
    return *this;
}

void CUTCTime::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << BYTE{0} << m_wYear << m_bMonth << m_bDay << m_wMinuteOfDay << m_bSecond
           << static_cast<WORD>(m_nZoneKind) << m_wZoneMinutes << m_bFormatLength;
        return;
    }
    BYTE format = 0;
    WORD zoneKind = 0;
    CUTCTimeFields loaded;
    ar >> format;
    if (format != 0) AfxThrowArchiveException(CArchiveException::generic);
    ar >> loaded.m_wYear >> loaded.m_bMonth >> loaded.m_bDay >> loaded.m_wMinuteOfDay >> loaded.m_bSecond >> zoneKind >>
        loaded.m_wZoneMinutes >> loaded.m_bFormatLength;
    loaded.m_nZoneKind = zoneKind;
    if (!loaded.IsValid()) AfxThrowArchiveException(CArchiveException::generic);
    static_cast<CUTCTimeFields&>(*this) = loaded;
}

int operator==(const CUTCTime& a, const CUTCTime& b) {
    return a.m_wYear == b.m_wYear && a.m_bMonth == b.m_bMonth && a.m_bDay == b.m_bDay &&
           a.m_wMinuteOfDay == b.m_wMinuteOfDay && a.m_bSecond == b.m_bSecond && a.m_nZoneKind == b.m_nZoneKind &&
           a.m_wZoneMinutes == b.m_wZoneMinutes;
}

int operator<(const CUTCTime& a, const CUTCTime& b) { return instant(a) < instant(b); }
int operator>(const CUTCTime& a, const CUTCTime& b) { return instant(a) > instant(b); }
int operator<=(const CUTCTime& a, const CUTCTime& b) { return instant(a) <= instant(b); }
int operator>=(const CUTCTime& a, const CUTCTime& b) { return instant(a) >= instant(b); }
