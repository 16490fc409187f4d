// Dates, time zones and date patterns, written and read in local time (TZ set by the test)
// and in UTC.
#include "platform/foundation/Clock.h"
#include "platform/foundation/NSDateFormatter.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace {

// Sets TZ for one test and puts the old value back.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope()
    {
        old_ ? setenv("TZ", old_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> old_;
};

NSDate at(double seconds) { return NSDate::dateWithTimeIntervalSince1970(seconds); }

std::shared_ptr<NSDateFormatter> utcFormatter(std::string format)
{
    auto f = NSDateFormatter::create(std::move(format));
    f->setTimeZone(*NSTimeZone::timeZoneWithName("UTC"));
    f->setLocale(NSLocale::localeWithLocaleIdentifier("en_US_POSIX"));
    return f;
}

constexpr double may1st2024 = 1714552245.678; // 2024-05-01 08:30:45.678 UTC, a Wednesday

} // namespace

TEST(Date, WritesPatternsInUtc)
{
    NSDate d = at(may1st2024);
    EXPECT_EQ(utcFormatter("yyyy-MM-dd HH:mm:ss.SSS")->stringFromDate(d), "2024-05-01 08:30:45.678");
    EXPECT_EQ(utcFormatter("EEE, dd MMM yyyy HH:mm:ss zzz")->stringFromDate(d), "Wed, 01 May 2024 08:30:45 GMT");
    EXPECT_EQ(utcFormatter("yyyy'-'MM'-'dd' 'HH'-'mm'")->stringFromDate(d), "2024-05-01 08-30");
    EXPECT_EQ(utcFormatter("'It''s' h a, EEEE d MMMM yy")->stringFromDate(d), "It's 8 AM, Wednesday 1 May 24");
    EXPECT_EQ(utcFormatter("今天 HH:mm")->stringFromDate(d), "今天 08:30");
    EXPECT_EQ(utcFormatter("Z|ZZZZZ|D")->stringFromDate(d), "+0000|Z|122");
    // Milliseconds are cut, not rounded, and survive float noise.
    EXPECT_EQ(utcFormatter("ss.SSS")->stringFromDate(at(1.001)), "01.001");
    EXPECT_EQ(utcFormatter("ss.SSS")->stringFromDate(at(59.9999)), "59.999");
    EXPECT_EQ(utcFormatter("yyyy-MM-dd HH:mm:ss")->stringFromDate(at(-1)), "1969-12-31 23:59:59");
}

TEST(Date, WritesPatternsInLocalTime)
{
    ZoneScope zone("CST-8");
    NSDate d = at(may1st2024);
    EXPECT_EQ(NSDateFormatter::create("yyyy-MM-dd HH:mm")->stringFromDate(d), "2024-05-01 16:30");
    EXPECT_EQ(NSDateFormatter::create("HH:mm zzz Z")->stringFromDate(d), "16:30 CST +0800");
    EXPECT_EQ(NSTimeZone::localTimeZone().secondsFromGMT(), 8 * 3600);
    EXPECT_EQ(NSTimeZone::localTimeZone().name(), "CST-8");
    // Midnight local time is the previous day in UTC.
    EXPECT_EQ(NSDateFormatter::create("yyyy-MM-dd")->stringFromDate(at(1714492800)), "2024-05-01");
    EXPECT_EQ(utcFormatter("yyyy-MM-dd")->stringFromDate(at(1714492800 - 8 * 3600)), "2024-04-30");
}

TEST(Date, LocalTimeFollowsDaylightSaving)
{
    ZoneScope zone("EST5EDT,M3.2.0,M11.1.0");
    auto f = NSDateFormatter::create("yyyy-MM-dd HH:mm zzz");
    EXPECT_EQ(f->stringFromDate(at(1704067200)), "2023-12-31 19:00 EST");
    EXPECT_EQ(f->stringFromDate(at(may1st2024)), "2024-05-01 04:30 EDT");
    auto read = NSDateFormatter::create("yyyy-MM-dd HH:mm");
    EXPECT_EQ(read->dateFromString("2024-05-01 04:30")->timeIntervalSince1970(), 1714552200);
    EXPECT_EQ(read->dateFromString("2024-01-01 00:00")->timeIntervalSince1970(), 1704085200);
    // 02:30 on the spring-forward day does not exist; it reads as 03:30 EDT.
    EXPECT_EQ(f->stringFromDate(*read->dateFromString("2024-03-10 02:30")), "2024-03-10 03:30 EDT");
}

TEST(Date, ReadsWhatItWrites)
{
    for (std::string format : { "yyyy-MM-dd HH:mm:ss.SSS", "EEE, dd MMM yyyy HH:mm:ss zzz", "yyyyMMddHHmmss" }) {
        auto f = utcFormatter(format);
        NSDate d = at(format.ends_with("SSS") ? may1st2024 : 1714552245.0);
        auto back = f->dateFromString(f->stringFromDate(d));
        ASSERT_TRUE(back) << format;
        EXPECT_NEAR(back->timeIntervalSince1970(), d.timeIntervalSince1970(), 1e-6) << format;
    }
    ZoneScope zone("CST-8");
    auto local = NSDateFormatter::create("yyyy-MM-dd HH:mm:ss");
    EXPECT_EQ(local->dateFromString("2024-05-01 16:30:45")->timeIntervalSince1970(), 1714552245);
}

TEST(Date, ReadsHttpDatesInTheirOwnZone)
{
    auto f = utcFormatter("EEE, dd MMM yyyy HH:mm:ss zzz");
    for (const char* text : { "Sun, 06 Nov 1994 08:49:37 GMT", "sun, 06 nov 1994 08:49:37 GMT", "Sun, 06 Nov 1994 03:49:37 EST",
             "Sun, 06 Nov 1994 16:49:37 GMT+8" })
        EXPECT_EQ(f->dateFromString(text)->timeIntervalSince1970(), 784111777) << text;
    EXPECT_EQ(utcFormatter("yyyy-MM-dd'T'HH:mm:ssZ")->dateFromString("1994-11-06T09:49:37+0100")->timeIntervalSince1970(),
        784111777);
}

TEST(Date, AbbreviationsReadAsTheLocalZoneUsesThem)
{
    struct Case {
        const char* zone;
        const char* text;
        double expected;
    };
    const Case cases[] = {
        { "Asia/Shanghai", "2024-05-01 16:30 CST", 1714552200 }, // China Standard Time, not Central
        { "America/Chicago", "2024-01-01 06:00 CST", 1704110400 },
        { "America/New_York", "2024-01-01 07:00 EST", 1704110400 },
        // The local zone uses "EST" in winter only; in summer it keeps its listed offset.
        { "America/New_York", "2024-07-01 07:00 EST", 1719835200 },
        { "Europe/Berlin", "2024-01-01 06:00 CST", 1704110400 },
        // Shanghai's own daylight time (+9) and standard time (+8) in the years it kept both,
        // not Central time 14 hours away.
        { "Asia/Shanghai", "1988-07-01 12:00 CDT", 583729200 },
        { "Asia/Shanghai", "1988-07-01 12:00 CST", 583732800 },
        { "Asia/Shanghai", "1988-01-15 12:00 CDT", 569214000 },
        { "Asia/Shanghai", "1941-06-01 12:00 CDT", -902091600 },
    };
    auto f = NSDateFormatter::create("yyyy-MM-dd HH:mm zzz");
    for (const Case& c : cases) {
        ZoneScope zone(c.zone);
        auto date = f->dateFromString(c.text);
        ASSERT_TRUE(date) << c.zone << " " << c.text;
        EXPECT_EQ(date->timeIntervalSince1970(), c.expected) << c.zone << " " << c.text;
        EXPECT_EQ(f->dateFromString(f->stringFromDate(*date))->timeIntervalSince1970(), c.expected) << c.zone;
    }
}

TEST(Date, ReadingIsStrict)
{
    auto f = utcFormatter("yyyy-MM-dd HH:mm");
    for (const char* bad : { "", "2024-05-01", "2024-05-01 08:30 trailing", "2024/05/01 08:30", "2024-13-01 08:30",
             "2023-02-29 08:30", "2024-05-01 24:00", "2024-05-01 08:60" })
        EXPECT_FALSE(f->dateFromString(bad)) << bad;
    EXPECT_TRUE(f->dateFromString("2024-02-29 08:30"));
    EXPECT_FALSE(utcFormatter("EEE, dd MMM yyyy")->dateFromString("Xyz, 06 Nov 1994"));
    EXPECT_FALSE(utcFormatter("HH:mm zzz")->dateFromString("08:30 QQQ"));
    // Fields the pattern lacks default to 2000-01-01 00:00:00.
    EXPECT_EQ(utcFormatter("HH:mm")->dateFromString("10:30")->timeIntervalSince1970(), 946722600);
    // The log file names read back: "yyyy-MM-dd HH-mm".
    EXPECT_TRUE(utcFormatter("yyyy'-'MM'-'dd' 'HH'-'mm'")->dateFromString("2024-05-01 08-30"));
    EXPECT_FALSE(utcFormatter("yyyy'-'MM'-'dd' 'HH'-'mm'")->dateFromString("2024-05-01 08-3x"));
}

TEST(Date, TimeZonesByNameAndOffset)
{
    EXPECT_EQ(NSTimeZone::timeZoneWithName("UTC")->secondsFromGMT(), 0);
    EXPECT_EQ(NSTimeZone::timeZoneWithName("GMT+8")->secondsFromGMT(), 28800);
    EXPECT_EQ(NSTimeZone::timeZoneWithName("GMT-05:30")->secondsFromGMT(), -19800);
    EXPECT_FALSE(NSTimeZone::timeZoneWithName("GMT+99"));
    EXPECT_FALSE(NSTimeZone::timeZoneWithName("Nowhere/Special"));
    EXPECT_EQ(NSTimeZone::timeZoneForSecondsFromGMT(-18000).name(), "GMT-0500");
    EXPECT_EQ(NSTimeZone::timeZoneForSecondsFromGMT(19800).abbreviation(), "GMT+5:30");
    EXPECT_EQ(NSTimeZone::timeZoneWithAbbreviation("PDT")->secondsFromGMT(), -25200);
    ZoneScope zone("UTC0");
    EXPECT_EQ(NSTimeZone::localTimeZone().abbreviation(), "GMT");
}

TEST(Date, ReadsTwelveHourClocksYearsAndFractions)
{
    auto twelve = utcFormatter("yyyy-MM-dd hh:mm a");
    EXPECT_EQ(twelve->dateFromString("2024-05-01 12:15 AM")->timeIntervalSince1970(), 1714522500);
    EXPECT_EQ(twelve->dateFromString("2024-05-01 12:15 pm")->timeIntervalSince1970(), 1714565700);
    EXPECT_EQ(twelve->dateFromString("2024-05-01 01:15 PM")->timeIntervalSince1970(), 1714569300);
    EXPECT_FALSE(twelve->dateFromString("2024-05-01 13:15 PM"));
    EXPECT_EQ(twelve->stringFromDate(at(1714565700)), "2024-05-01 12:15 PM");

    foundation::clock::useVirtualTime(may1st2024);
    auto shortYear = utcFormatter("dd.MM.yy");
    EXPECT_EQ(utcFormatter("yyyy")->stringFromDate(*shortYear->dateFromString("01.01.43")), "2043");
    EXPECT_EQ(utcFormatter("yyyy")->stringFromDate(*shortYear->dateFromString("01.01.45")), "1945");
    foundation::clock::useRealTime();

    auto fraction = utcFormatter("ss.S");
    EXPECT_NEAR(fraction->dateFromString("05.25")->timeIntervalSince1970() - 946684800, 5.25, 1e-9);
    EXPECT_EQ(utcFormatter("yyyy D")->stringFromDate(*utcFormatter("yyyy D")->dateFromString("2024 366")), "2024 366");
    EXPECT_FALSE(utcFormatter("yyyy D")->dateFromString("2023 366"));
    // Digit counts are free between separators but fixed between adjacent numbers.
    EXPECT_TRUE(utcFormatter("yyyy-MM-dd")->dateFromString("2024-5-1"));
    EXPECT_FALSE(utcFormatter("yyyyMMdd")->dateFromString("2024051"));
}

TEST(Date, ExtremeTimesStayDefined)
{
    auto f = utcFormatter("yyyy-MM-dd HH:mm:ss");
    EXPECT_EQ(f->stringFromDate(NSDate::distantPast()), "0001-01-01 00:00:00");
    EXPECT_EQ(f->stringFromDate(NSDate::distantFuture()), "4001-01-01 00:00:00");
    EXPECT_EQ(f->stringFromDate(at(1e300)), "1970-01-01 00:00:00");
    EXPECT_EQ(f->stringFromDate(at(std::nan(""))), "1970-01-01 00:00:00");
    EXPECT_EQ(NSDateFormatter::create("yyyy")->stringFromDate(at(-1e300)), "1970");
    EXPECT_FALSE(f->dateFromString("99999999999999999999-01-01 00:00:00"));
    EXPECT_EQ(Value::date(1e300).description(), "1970-01-01 00:00:00 +0000");
}
