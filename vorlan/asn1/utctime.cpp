#include "vorlan/asn1/utctime.h"

#include <cstring>

#include "vorlan/support/diagnostics.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_UTCTime, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_GeneralizedTime, CASN1_CONSTRUCTED_TYPE)

namespace {

constexpr unsigned kMaxTextLength = 17;
constexpr unsigned kGeneralizedLength = 15;

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool digits(const unsigned char* text, unsigned first, unsigned count) {
    for (unsigned i = first; i < first + count; ++i)
        if (!isDigit(text[i])) return false;
    return true;
}

bool zone(unsigned char c) { return c == '+' || c == '-' || c == 'Z'; }

bool supportedLength(unsigned length) { return length == 11 || length == 13 || length == 15 || length == 17; }
// Seconds stand in the 13- and 17-character shapes; a differential follows the zone in 15 and 17.
bool hasSeconds(unsigned length) { return length == 13 || length == 17; }
bool hasDifferential(unsigned length) { return length >= 15; }
unsigned zoneAt(unsigned length) { return hasSeconds(length) ? 12 : 10; }

unsigned pair(const unsigned char* text) { return (text[0] - '0') * 10u + (text[1] - '0'); }

void putPair(unsigned char* text, unsigned value) {
    text[0] = static_cast<unsigned char>('0' + value / 10);
    text[1] = static_cast<unsigned char>('0' + value % 10);
}

constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

// The fields of the value's text, or false when the text is out of shape, out of range, or
// would not be written back octet for octet.
bool readTime(const CASN1_UTCTime& value, CUTCTimeFields& time) {
    if (!CASN1_UTCTime::isValid(&value, 0)) return false;
    unsigned char text[kMaxTextLength];
    const unsigned long n = value.getClearContentsLength();
    return value.GetClearData(text, n, 1, 0) && time.ReadText(text, n);
}

// Length, digits and zone character of a UTCTime text; ranges unchecked.
bool inShape(const unsigned char* text, unsigned long n) {
    if (!supportedLength(n)) return false;
    const unsigned z = zoneAt(n);
    if (!digits(text, 0, z) || !zone(text[z])) return false;
    return !hasDifferential(n) || digits(text, z + 1, 4);
}

// The GeneralizedTime text of fields in GMT at `text`; its length, 0 when they cannot be
// written so.
unsigned writeGeneralized(const CUTCTimeFields& time, unsigned char* text) {
    if (!time.IsValid() || time.m_nZoneKind != 0 || time.m_wYear > 9999) return 0;
    putPair(text, time.m_wYear / 100);
    putPair(text + 2, time.m_wYear % 100);
    putPair(text + 4, time.m_bMonth);
    putPair(text + 6, time.m_bDay);
    putPair(text + 8, time.m_wMinuteOfDay / 60);
    putPair(text + 10, time.m_wMinuteOfDay % 60);
    putPair(text + 12, time.m_bSecond);
    text[14] = 'Z';
    return kGeneralizedLength;
}

// As readTime, for a GeneralizedTime.
bool readGeneralized(const CASN1_GeneralizedTime& value, CUTCTimeFields& time) {
    unsigned char text[kGeneralizedLength];
    if (!CASN1_GeneralizedTime::isValid(&value, 0) || !value.GetClearData(text, kGeneralizedLength, 1, 0)) return false;
    CUTCTimeFields parsed;
    parsed.m_wYear = static_cast<WORD>(pair(text) * 100 + pair(text + 2));
    parsed.m_bMonth = static_cast<BYTE>(pair(text + 4));
    parsed.m_bDay = static_cast<BYTE>(pair(text + 6));
    parsed.m_wMinuteOfDay = static_cast<WORD>(pair(text + 8) * 60 + pair(text + 10));
    parsed.m_bSecond = static_cast<BYTE>(pair(text + 12));
    parsed.m_bFormatLength = CUTCTimeFields::kGeneralizedFormat;
    unsigned char again[kGeneralizedLength];
    if (writeGeneralized(parsed, again) != kGeneralizedLength || std::memcmp(again, text, kGeneralizedLength) != 0)
        return false;
    time = parsed;
    return true;
}

// The value becomes the primitive, definite text of `n` characters.
void setText(CASN1_CONSTRUCTED_TYPE& value, const unsigned char* text, unsigned n) {
    value.clear();
    value.m_bConstructed = 0;
    value.m_bIndefinite = 0;
    value.SetSize(static_cast<int>(n));
    std::memcpy(value.GetData(), text, n);
}

}  // namespace

void CUTCTimeFields::Setup(const CString& text, unsigned char length) {
    if (length <= static_cast<unsigned>(text.GetLength()))
        setup(reinterpret_cast<const unsigned char*>(static_cast<const char*>(text)), length);
}

void CUTCTimeFields::setup(const unsigned char* c, unsigned char length) {
    if (!supportedLength(length)) return;
    const unsigned z = zoneAt(length);
    if (!digits(c, 0, z) || (hasDifferential(length) && !digits(c, z + 1, 4))) return;
    const unsigned yy = pair(c);
    m_wYear = static_cast<WORD>(yy < 50 ? 2000 + yy : 1900 + yy);  // RFC 5280 4.1.2.5.1
    m_bMonth = static_cast<BYTE>(pair(c + 2));
    m_bDay = static_cast<BYTE>(pair(c + 4));
    m_wMinuteOfDay = static_cast<WORD>(pair(c + 6) * 60 + pair(c + 8));
    m_bSecond = static_cast<BYTE>(hasSeconds(length) ? pair(c + 10) : 0);
    m_nZoneKind = c[z] == 'Z' ? 0 : c[z] == '+' ? 1 : 2;
    m_wZoneMinutes = static_cast<WORD>(m_nZoneKind != 0 && hasDifferential(length) ? pair(c + z + 1) * 60 + pair(c + z + 3) : 0);
    m_bFormatLength = length;
}

int CUTCTimeFields::ReadText(const unsigned char* text, unsigned long length) {
    if (!inShape(text, length)) return 0;
    CUTCTimeFields parsed;
    parsed.setup(text, static_cast<unsigned char>(length));
    // The fields write back this very text when their ranges hold (IsValid: month, day, seconds,
    // minutes of the day and of the zone) and no pair carried into the next: minutes below 60,
    // and a differential after 'Z' of 0000, which is what 'Z' writes.
    const unsigned z = zoneAt(length);
    const bool zoneExact = !hasDifferential(length) || (parsed.m_nZoneKind == 0
                                                            ? pair(text + z + 1) == 0 && pair(text + z + 3) == 0
                                                            : pair(text + z + 3) < 60);
    if (pair(text + 8) >= 60 || !zoneExact || !parsed.IsValid()) return 0;
    *this = parsed;
    return 1;
}

BYTE CUTCTimeFields::DaysInMonth(BYTE month, WORD year) {
    static constexpr BYTE kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && year % 4 == 0 ? 29 : kDays[month - 1];
}

int CUTCTimeFields::IsValid() const {
    return m_bDay >= 1 && m_bDay <= DaysInMonth(m_bMonth, m_wYear) && m_bSecond < 60 && m_wMinuteOfDay < 1440 &&
           m_nZoneKind <= 2 && m_wZoneMinutes < 1440 &&
           (supportedLength(m_bFormatLength) || m_bFormatLength == kGeneralizedFormat);
}

CString CUTCTimeFields::GetTimeAsString(int withSeconds, int timeOnly) const {
    CString text;
    if (!IsValid()) return text;
    const unsigned hours = m_wMinuteOfDay / 60, minutes = m_wMinuteOfDay % 60;
    if (timeOnly)
        text.Format("%02u:%02u", hours, minutes);
    else
        text.Format("%d %s, %d, %02u:%02u", m_bDay, kMonthNames[m_bMonth - 1], m_wYear, hours, minutes);
    CString part;
    if (withSeconds) {
        part.Format(" %02d sec", m_bSecond);
        text += part;
    }
    if (m_nZoneKind == 0) {
        text += " GMT";
    } else {
        part.Format(" %c%02u%02u", m_nZoneKind == 1 ? '+' : '-', m_wZoneMinutes / 60u, m_wZoneMinutes % 60u);
        text += part;
    }
    return text;
}

unsigned CUTCTimeFields::WriteText(unsigned char* text) const {
    if (!IsValid() || !supportedLength(m_bFormatLength) || m_wYear < 1950 || m_wYear > 2049) return 0;
    putPair(text, m_wYear % 100);
    putPair(text + 2, m_bMonth);
    putPair(text + 4, m_bDay);
    putPair(text + 6, m_wMinuteOfDay / 60);
    putPair(text + 8, m_wMinuteOfDay % 60);
    if (hasSeconds(m_bFormatLength)) putPair(text + 10, m_bSecond);
    const unsigned z = zoneAt(m_bFormatLength);
    text[z] = m_nZoneKind == 0 ? 'Z' : m_nZoneKind == 1 ? '+' : '-';
    if (hasDifferential(m_bFormatLength)) {
        putPair(text + z + 1, m_wZoneMinutes / 60);
        putPair(text + z + 3, m_wZoneMinutes % 60);
    }
    return m_bFormatLength;
}

CASN1_UTCTime::CASN1_UTCTime(const CUTCTimeFields& time) : CASN1_UTCTime() { GetDataFrom(time); }

int CASN1_UTCTime::isValid(const CASN1Type* value, int anyTag) {
    if (!anyTag && value->identifier != 0x17) return 0;
    const unsigned long n = value->getClearContentsLength();
    unsigned char text[kMaxTextLength];
    return supportedLength(n) && value->GetClearData(text, n, 1, 0) && inShape(text, n);
}

void CASN1_UTCTime::GetDataFrom(const CUTCTimeFields& time) {
    unsigned char text[kMaxTextLength];
    const unsigned n = time.WriteText(text);
    if (n == 0) ___throwDERDecodingException("CASN1_UTCTime::GetDataFrom - invalid time");
    setText(*this, text, n);
}

void CASN1_UTCTime::SetDataTo(CUTCTimeFields& time) const {
    if (!readTime(*this, time)) ___throwDERDecodingException("CASN1_UTCTime::SetDataTo - invalid contents");
}

void CASN1_UTCTime::Dump(unsigned long indent, CFile* file) const {
    CASN1_CONSTRUCTED_TYPE::Dump(indent, file);
    CUTCTimeFields time;
    if (!readTime(*this, time)) return;
    const CString margin(' ', static_cast<int>(indent));
    ___WriteFormatted(file, "%sUTCTime: %s\r\n", static_cast<const char*>(margin),
                      static_cast<const char*>(time.GetTimeAsString(1, 0)));
}

CASN1_GeneralizedTime::CASN1_GeneralizedTime(const CUTCTimeFields& time) : CASN1_GeneralizedTime() {
    GetDataFrom(time);
}

int CASN1_GeneralizedTime::isValid(const CASN1Type* value, int anyTag) {
    if (!anyTag && value->identifier != kASN1GeneralizedTime) return 0;
    unsigned char text[kGeneralizedLength];
    return value->getClearContentsLength() == kGeneralizedLength &&
           value->GetClearData(text, kGeneralizedLength, 1, 0) && digits(text, 0, kGeneralizedLength - 1) &&
           text[kGeneralizedLength - 1] == 'Z';
}

void CASN1_GeneralizedTime::GetDataFrom(const CUTCTimeFields& time) {
    unsigned char text[kGeneralizedLength];
    if (writeGeneralized(time, text) == 0)
        ___throwDERDecodingException("CASN1_GeneralizedTime::GetDataFrom - invalid time");
    setText(*this, text, kGeneralizedLength);
}

void CASN1_GeneralizedTime::SetDataTo(CUTCTimeFields& time) const {
    if (!readGeneralized(*this, time))
        ___throwDERDecodingException("CASN1_GeneralizedTime::SetDataTo - invalid contents");
}
