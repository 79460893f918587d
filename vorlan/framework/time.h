/// \file
/// CTime: a calendar instant in whole seconds.
#pragma once

#include <compare>
#include <ctime>

#include "vorlan/framework/types.h"

/// A calendar instant in whole seconds since 1970 (UTC); a plain value.
class CTime {
public:
    CTime() = default;
    /// The instant `time`.
    explicit CTime(std::time_t time) : m_time(time) {}
    /// Local calendar fields; isDST -1 lets the C library decide.
    CTime(int year, int month, int day, int hour, int minute, int second, int isDST = -1);

    /// Now.
    static CTime GetCurrentTime();
    /// The instant in seconds since 1970.
    std::time_t GetTime() const { return m_time; }
    /// The local broken-down time; written into *tm when given, else into a per-thread buffer.
    struct tm* GetLocalTm(struct tm* tm = nullptr) const;
    /// The broken-down UTC time, written as GetLocalTm does.
    struct tm* GetGmtTm(struct tm* tm = nullptr) const;

    ///@{
    /// A field of the local time: the year, the month (1-12), the day (1-31), the hour, minute or second.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    ///@}

    friend bool operator==(CTime a, CTime b) { return a.m_time == b.m_time; }
    friend auto operator<=>(CTime a, CTime b) { return a.m_time <=> b.m_time; }

private:
    std::time_t m_time = 0;
};
