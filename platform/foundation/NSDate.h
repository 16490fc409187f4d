// NSDate: a point in time, seconds since 1970-01-01 00:00:00 UTC. A value type; "now" comes
// from the platform clock, so virtual time in tests moves dates too.
#pragma once

#include <compare>
#include <string>

#include "platform/foundation/Value.h"

using NSTimeInterval = double;

class NSDate {
public:
    NSDate() = default; // 1970-01-01 00:00:00 UTC
    static NSDate date();
    static NSDate dateWithTimeIntervalSince1970(NSTimeInterval seconds) { return NSDate(seconds); }
    static NSDate dateWithTimeIntervalSinceNow(NSTimeInterval seconds);
    static NSDate distantPast();
    static NSDate distantFuture();
    // The date a Value holds (0 unless a date).
    static NSDate fromValue(const Value& value) { return NSDate(value.asDate()); }

    NSTimeInterval timeIntervalSince1970() const { return seconds_; }
    NSTimeInterval timeIntervalSinceNow() const;
    NSTimeInterval timeIntervalSinceDate(const NSDate& other) const { return seconds_ - other.seconds_; }
    NSDate dateByAddingTimeInterval(NSTimeInterval seconds) const { return NSDate(seconds_ + seconds); }
    NSDate earlierDate(const NSDate& other) const { return other.seconds_ < seconds_ ? other : *this; }
    NSDate laterDate(const NSDate& other) const { return other.seconds_ > seconds_ ? other : *this; }

    // "2024-05-01 08:30:00 +0000", as "%@" prints a date.
    std::string description() const { return Value::date(seconds_).description(); }
    Value toValue() const { return Value::date(seconds_); }

    auto operator<=>(const NSDate&) const = default;

private:
    explicit NSDate(double seconds)
        : seconds_(seconds)
    {
    }
    double seconds_ = 0;
};
