// NSTimeZone: the local zone (the TZ environment, as the C library reads it) or a fixed offset
// from GMT ("UTC", "GMT", "GMT+8"). Also the calendar arithmetic dates need: breaking seconds
// since 1970 into fields in a zone and back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/NSDate.h"

namespace foundation {

// A civil date and time (proleptic Gregorian calendar).
struct CalendarFields {
    std::int64_t year = 1970;
    int month = 1; // 1-12
    int day = 1; // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    double fraction = 0; // [0, 1)
    int weekday = 4; // 0 = Sunday
    int dayOfYear = 1; // 1-366
    int offsetFromGMT = 0; // seconds east of GMT in effect at this time
};

std::int64_t daysFromCivil(std::int64_t year, int month, int day);
int daysInMonth(std::int64_t year, int month);

} // namespace foundation

class NSTimeZone {
public:
    // The zone of the TZ environment variable, read afresh on every use.
    static NSTimeZone localTimeZone();
    static NSTimeZone systemTimeZone() { return localTimeZone(); }
    static NSTimeZone defaultTimeZone() { return localTimeZone(); }
    static NSTimeZone timeZoneForSecondsFromGMT(int seconds);
    // "UTC", "GMT", "GMT+8", "GMT-05:30", "UTC+0800", or the local zone's own name.
    static std::optional<NSTimeZone> timeZoneWithName(std::string_view name);
    // "UTC", "GMT", "Z" and the North American abbreviations ("EST", "PDT", ...).
    static std::optional<NSTimeZone> timeZoneWithAbbreviation(std::string_view abbreviation);

    std::string name() const;
    bool isLocal() const { return local_; }
    int secondsFromGMT() const;
    int secondsFromGMTForDate(const NSDate& date) const;
    // "GMT" for a zero offset; the local zone's abbreviation when it has letters; else "GMT+8".
    std::string abbreviationForDate(const NSDate& date) const;
    std::string abbreviation() const;
    std::string description() const { return name(); }

    foundation::CalendarFields fieldsForSeconds(double secondsSince1970) const;
    // Seconds since 1970 of the fields taken as wall-clock time in this zone (weekday, day of
    // year and offset are ignored). Local times in a daylight-saving gap move forward.
    double secondsForFields(const foundation::CalendarFields& fields) const;

    bool operator==(const NSTimeZone& other) const = default;

private:
    NSTimeZone(bool local, int offset, std::string name)
        : local_(local)
        , offset_(offset)
        , name_(std::move(name))
    {
    }

    bool local_ = false;
    int offset_ = 0;
    std::string name_;
};

// NSLocale: only the identifier; dates are always written with English names, as the
// "en_US_POSIX" locale writes them.
class NSLocale {
public:
    static NSLocale localeWithLocaleIdentifier(std::string identifier) { return NSLocale(std::move(identifier)); }
    static NSLocale currentLocale() { return NSLocale("en_US"); }
    const std::string& localeIdentifier() const { return identifier_; }
    bool operator==(const NSLocale&) const = default;

private:
    explicit NSLocale(std::string identifier)
        : identifier_(std::move(identifier))
    {
    }
    std::string identifier_;
};
