// Time zones and calendar arithmetic (see NSTimeZone.h). Civil-date conversion is done with
// integer arithmetic so that any year works; the local zone's offsets come from localtime_r.
#include "platform/foundation/NSTimeZone.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <algorithm>
#include <unistd.h>

namespace foundation {

std::int64_t daysFromCivil(std::int64_t year, int month, int day)
{
    year -= month <= 2;
    std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    std::int64_t yoe = year - era * 400;
    std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int daysInMonth(std::int64_t year, int month)
{
    static constexpr int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (month < 1 || month > 12)
        return 0;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace foundation

namespace {

using foundation::CalendarFields;

constexpr double kLimit = 1e15; // about 31 million years either way

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

void civilFromDays(std::int64_t z, CalendarFields& f)
{
    z += 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    f.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    f.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    f.year = yoe + era * 400 + (f.month <= 2);
}

int localOffset(double seconds)
{
    if (!(std::fabs(seconds) < kLimit))
        return 0;
    tzset(); // TZ may have changed since the last call
    std::time_t t = static_cast<std::time_t>(std::floor(seconds));
    std::tm tm {};
    if (!localtime_r(&t, &tm))
        return 0;
    return static_cast<int>(tm.tm_gmtoff);
}

std::string gmtForm(int offset, bool colonAlways)
{
    if (offset == 0)
        return "GMT";
    std::string s = offset < 0 ? "GMT-" : "GMT+";
    int a = std::abs(offset);
    int hours = a / 3600, minutes = a / 60 % 60;
    if (colonAlways) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%02d:%02d", hours, minutes);
        return s + buffer;
    }
    s += std::to_string(hours);
    if (minutes) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, ":%02d", minutes);
        s += buffer;
    }
    return s;
}

std::string localName()
{
    const char* tz = std::getenv("TZ");
    if (tz && *tz) {
        std::string_view name = tz;
        if (name.front() == ':')
            name.remove_prefix(1);
        std::size_t at = name.find("zoneinfo/");
        if (at != std::string_view::npos)
            name.remove_prefix(at + 9);
        return std::string(name);
    }
    char buffer[512];
    ssize_t n = readlink("/etc/localtime", buffer, sizeof buffer - 1);
    if (n > 0) {
        std::string_view target(buffer, static_cast<std::size_t>(n));
        std::size_t at = target.find("zoneinfo/");
        if (at != std::string_view::npos)
            return std::string(target.substr(at + 9));
    }
    return "GMT";
}

// "+8", "-05:30", "+0800" after a "GMT"/"UTC" prefix or alone; nullopt when malformed.
std::optional<int> parseOffset(std::string_view s)
{
    if (s.empty() || (s[0] != '+' && s[0] != '-'))
        return std::nullopt;
    int sign = s[0] == '-' ? -1 : 1;
    s.remove_prefix(1);
    std::string digits;
    bool colon = false;
    for (char c : s) {
        if (c == ':' && !colon) {
            colon = true;
            if (digits.size() == 1)
                digits.insert(digits.begin(), '0');
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        digits += c;
    }
    int hours, minutes = 0;
    if (digits.empty() || digits.size() > 4 || (colon && digits.size() != 4))
        return std::nullopt;
    if (digits.size() <= 2) {
        hours = std::stoi(digits);
    } else {
        if (digits.size() == 3)
            digits.insert(digits.begin(), '0');
        hours = std::stoi(digits.substr(0, 2));
        minutes = std::stoi(digits.substr(2));
    }
    if (hours > 18 || minutes > 59)
        return std::nullopt;
    return sign * (hours * 3600 + minutes * 60);
}

} // namespace

NSTimeZone NSTimeZone::localTimeZone()
{
    return NSTimeZone(true, 0, "");
}

NSTimeZone NSTimeZone::timeZoneForSecondsFromGMT(int seconds)
{
    if (seconds == 0)
        return NSTimeZone(false, 0, "GMT");
    char buffer[16];
    int a = std::abs(seconds);
    std::snprintf(buffer, sizeof buffer, "GMT%c%02d%02d", seconds < 0 ? '-' : '+', a / 3600 % 100, a / 60 % 60);
    return NSTimeZone(false, seconds, buffer);
}

std::optional<NSTimeZone> NSTimeZone::timeZoneWithName(std::string_view name)
{
    if (name == "UTC" || name == "GMT" || name == "Etc/UTC" || name == "Etc/GMT")
        return NSTimeZone(false, 0, std::string(name.substr(name.find('/') + 1)));
    if (name.starts_with("GMT") || name.starts_with("UTC")) {
        if (auto offset = parseOffset(name.substr(3)))
            return NSTimeZone(false, *offset, std::string(name));
        return std::nullopt;
    }
    if (!name.empty() && name == localName())
        return localTimeZone();
    return std::nullopt;
}

std::optional<NSTimeZone> NSTimeZone::timeZoneWithAbbreviation(std::string_view abbreviation)
{
    struct Entry {
        const char* name;
        int hours;
    };
    static constexpr Entry entries[] = { { "UTC", 0 }, { "GMT", 0 }, { "UT", 0 }, { "Z", 0 }, { "EST", -5 },
        { "EDT", -4 }, { "CST", -6 }, { "CDT", -5 }, { "MST", -7 }, { "MDT", -6 }, { "PST", -8 }, { "PDT", -7 } };
    for (const Entry& e : entries)
        if (abbreviation == e.name)
            return e.hours == 0 ? NSTimeZone(false, 0, "GMT") : timeZoneForSecondsFromGMT(e.hours * 3600);
    return std::nullopt;
}

std::string NSTimeZone::name() const
{
    return local_ ? localName() : name_;
}

int NSTimeZone::secondsFromGMT() const
{
    return secondsFromGMTForDate(NSDate::date());
}

int NSTimeZone::secondsFromGMTForDate(const NSDate& date) const
{
    return local_ ? localOffset(date.timeIntervalSince1970()) : offset_;
}

std::string NSTimeZone::abbreviationForDate(const NSDate& date) const
{
    int offset = secondsFromGMTForDate(date);
    if (!local_ || offset == 0)
        return gmtForm(offset, false);
    tzset();
    std::time_t t = static_cast<std::time_t>(std::floor(std::fabs(date.timeIntervalSince1970()) < kLimit
            ? date.timeIntervalSince1970()
            : 0));
    std::tm tm {};
    if (localtime_r(&t, &tm) && tm.tm_zone) {
        std::string_view zone = tm.tm_zone;
        bool letters = !zone.empty();
        for (char c : zone)
            letters = letters && std::isalpha(static_cast<unsigned char>(c));
        if (letters)
            return std::string(zone);
    }
    return gmtForm(offset, false);
}

std::string NSTimeZone::abbreviation() const
{
    return abbreviationForDate(NSDate::date());
}

CalendarFields NSTimeZone::fieldsForSeconds(double seconds) const
{
    CalendarFields f;
    if (!(std::fabs(seconds) < kLimit))
        return f;
    f.offsetFromGMT = secondsFromGMTForDate(NSDate::dateWithTimeIntervalSince1970(seconds));
    double whole = std::floor(seconds);
    f.fraction = seconds - whole;
    std::int64_t wall = static_cast<std::int64_t>(whole) + f.offsetFromGMT;
    std::int64_t days = floorDiv(wall, 86400);
    std::int64_t rest = wall - days * 86400;
    civilFromDays(days, f);
    f.hour = static_cast<int>(rest / 3600);
    f.minute = static_cast<int>(rest / 60 % 60);
    f.second = static_cast<int>(rest % 60);
    f.weekday = static_cast<int>(floorDiv(days + 4, 7) * -7 + days + 4);
    f.dayOfYear = static_cast<int>(days - foundation::daysFromCivil(f.year, 1, 1) + 1);
    return f;
}

double NSTimeZone::secondsForFields(const CalendarFields& f) const
{
    double wall = static_cast<double>(foundation::daysFromCivil(f.year, f.month, f.day)) * 86400.0 + f.hour * 3600
        + f.minute * 60 + f.second;
    if (!local_)
        return wall - offset_ + f.fraction;
    // The offset in effect at the wall time: try the offset of the naive guess, then check it.
    int first = localOffset(wall - localOffset(wall));
    double t = wall - first;
    int second = localOffset(t);
    if (second == first)
        return t + f.fraction;
    if (localOffset(wall - second) == second)
        return wall - second + f.fraction;
    // A wall time in a daylight-saving gap: read with the smaller offset, which moves it forward.
    t = wall - std::min(first, second);
    return t + f.fraction;
}
