#include "vorlan/framework/time.h"

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int isDST) {
    struct tm fields {};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = isDST;
    m_time = std::mktime(&fields);
}

CTime CTime::GetCurrentTime() { return CTime(std::time(nullptr)); }

struct tm* CTime::GetLocalTm(struct tm* tm) const {
    static thread_local struct tm fields;
    struct tm* target = tm ? tm : &fields;
    return localtime_r(&m_time, target);
}

struct tm* CTime::GetGmtTm(struct tm* tm) const {
    static thread_local struct tm fields;
    struct tm* target = tm ? tm : &fields;
    return gmtime_r(&m_time, target);
}

int CTime::GetYear() const { return GetLocalTm()->tm_year + 1900; }
int CTime::GetMonth() const { return GetLocalTm()->tm_mon + 1; }
int CTime::GetDay() const { return GetLocalTm()->tm_mday; }
int CTime::GetHour() const { return GetLocalTm()->tm_hour; }
int CTime::GetMinute() const { return GetLocalTm()->tm_min; }
int CTime::GetSecond() const { return GetLocalTm()->tm_sec; }
