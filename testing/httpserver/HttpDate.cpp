// IMF-fixdate formatting and strict parsing.
#include "testing/httpserver/HttpDate.h"

#include <array>
#include <cstdio>

namespace httpserver {

namespace {

constexpr std::array<const char*, 7> kDays { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
constexpr std::array<const char*, 12> kMonths { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct",
    "Nov", "Dec" };

bool digits(std::string_view s, std::size_t at, std::size_t count, int& out)
{
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long long daysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

std::string formatHttpDate(std::time_t time)
{
    std::tm tm {};
    gmtime_r(&time, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[static_cast<std::size_t>(tm.tm_wday)],
        tm.tm_mday, kMonths[static_cast<std::size_t>(tm.tm_mon)], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::optional<std::time_t> parseHttpDate(std::string_view s)
{
    // "Sun, 06 Nov 1994 08:49:37 GMT"
    if (s.size() != 29 || s.substr(3, 2) != ", " || s[7] != ' ' || s[11] != ' ' || s[16] != ' ' || s[19] != ':'
        || s[22] != ':' || s.substr(25) != " GMT")
        return std::nullopt;
    bool dayKnown = false;
    for (const char* d : kDays)
        dayKnown = dayKnown || s.substr(0, 3) == d;
    int month = 0;
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (s.substr(8, 3) == kMonths[i])
            month = static_cast<int>(i) + 1;
    }
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!dayKnown || month == 0 || !digits(s, 5, 2, day) || !digits(s, 12, 4, year) || !digits(s, 17, 2, hour)
        || !digits(s, 20, 2, minute) || !digits(s, 23, 2, second))
        return std::nullopt;
    if (day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    long long days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<std::time_t>(days * 86400 + hour * 3600 + minute * 60 + second);
}

} // namespace httpserver
