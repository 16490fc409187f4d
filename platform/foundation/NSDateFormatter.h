// NSDateFormatter: writes and reads dates with a pattern of the platform's date symbols
// ("yyyy-MM-dd HH:mm:ss.SSS", "EEE, dd MMM yyyy HH:mm:ss zzz", quoted literals 'T' and '')
// in a time zone (local by default). Names are English, as in the "en_US_POSIX" locale.
// Reading is strict: every pattern item must match, fields must be in range and the whole
// text must be used; a field missing from the pattern defaults to 2000-01-01 00:00:00.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSTimeZone.h"

class NSDateFormatter : public NSObject {
public:
    NSDateFormatter() = default;
    static std::shared_ptr<NSDateFormatter> create(std::string dateFormat = {});

    const std::string& dateFormat() const { return dateFormat_; }
    void setDateFormat(std::string format) { dateFormat_ = std::move(format); }
    const NSTimeZone& timeZone() const { return timeZone_; }
    void setTimeZone(NSTimeZone zone) { timeZone_ = std::move(zone); }
    const NSLocale& locale() const { return locale_; }
    void setLocale(NSLocale locale) { locale_ = std::move(locale); }

    std::string stringFromDate(const NSDate& date) const;
    std::optional<NSDate> dateFromString(std::string_view text) const;

    std::string className() const override { return "NSDateFormatter"; }

private:
    std::string dateFormat_;
    NSTimeZone timeZone_ = NSTimeZone::localTimeZone();
    NSLocale locale_ = NSLocale::currentLocale();
};
