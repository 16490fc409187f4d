// Date patterns: tokenizing, writing and strict reading (see NSDateFormatter.h).
#include "platform/foundation/NSDateFormatter.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using foundation::CalendarFields;

constexpr const char* monthNames[] = { "January", "February", "March", "April", "May", "June", "July", "August",
    "September", "October", "November", "December" };
constexpr const char* dayNames[] = { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" };

struct Token {
    char letter = 0; // 0 for a literal
    int count = 0;
    std::string literal;
};

bool isPatternLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::vector<Token> tokenize(std::string_view pattern)
{
    std::vector<Token> tokens;
    auto literal = [&](std::string_view text) {
        if (tokens.empty() || tokens.back().letter != 0)
            tokens.push_back({});
        tokens.back().literal += text;
    };
    std::size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        if (c == '\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                literal("'");
                i += 2;
                continue;
            }
            // Quoted text up to the closing quote ('' inside stands for one quote).
            ++i;
            std::string text;
            while (i < pattern.size()) {
                if (pattern[i] == '\'' && i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                    text += '\'';
                    i += 2;
                } else if (pattern[i] == '\'') {
                    ++i;
                    break;
                } else {
                    text += pattern[i++];
                }
            }
            literal(text);
            continue;
        }
        if (!isPatternLetter(c)) {
            literal(pattern.substr(i, 1));
            ++i;
            continue;
        }
        std::size_t start = i;
        while (i < pattern.size() && pattern[i] == c)
            ++i;
        tokens.push_back({ c, static_cast<int>(i - start), {} });
    }
    return tokens;
}

std::string padded(std::int64_t value, int width)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", width, static_cast<long long>(value));
    return buffer;
}

std::string offsetText(int offset, bool colon, bool zForZero)
{
    if (offset == 0 && zForZero)
        return "Z";
    int a = std::abs(offset);
    std::string s = offset < 0 ? "-" : "+";
    s += padded(a / 3600, 2);
    if (colon)
        s += ':';
    s += padded(a / 60 % 60, 2);
    return s;
}

std::string longGmt(int offset)
{
    return offset == 0 ? "GMT" : "GMT" + offsetText(offset, true, false);
}

void writeField(std::string& out, const Token& t, const CalendarFields& f, const NSTimeZone& zone, const NSDate& date)
{
    int n = t.count;
    switch (t.letter) {
    case 'G':
        out += f.year > 0 ? "AD" : "BC";
        return;
    case 'y':
    case 'Y':
    case 'u':
        out += n == 2 ? padded(((f.year % 100) + 100) % 100, 2) : padded(f.year, n);
        return;
    case 'M':
    case 'L':
        if (n <= 2)
            out += padded(f.month, n);
        else if (n == 3)
            out += std::string(monthNames[f.month - 1]).substr(0, 3);
        else if (n == 4)
            out += monthNames[f.month - 1];
        else
            out += monthNames[f.month - 1][0];
        return;
    case 'd':
        out += padded(f.day, n);
        return;
    case 'D':
        out += padded(f.dayOfYear, n);
        return;
    case 'E':
    case 'e':
    case 'c':
        if (n == 4)
            out += dayNames[f.weekday];
        else if (n >= 5)
            out += dayNames[f.weekday][0];
        else
            out += std::string(dayNames[f.weekday]).substr(0, 3);
        return;
    case 'a':
        out += f.hour < 12 ? "AM" : "PM";
        return;
    case 'H':
        out += padded(f.hour, n);
        return;
    case 'k':
        out += padded(f.hour == 0 ? 24 : f.hour, n);
        return;
    case 'h':
        out += padded(f.hour % 12 == 0 ? 12 : f.hour % 12, n);
        return;
    case 'K':
        out += padded(f.hour % 12, n);
        return;
    case 'm':
        out += padded(f.minute, n);
        return;
    case 's':
        out += padded(f.second, n);
        return;
    case 'S': {
        // Cut, not rounded, after rounding to the microsecond so 0.001 does not read as 0.000999...
        std::int64_t micros = std::min<std::int64_t>(std::llround(f.fraction * 1e6), 999999);
        std::string digits = padded(micros, 6);
        if (n <= 6)
            out += digits.substr(0, static_cast<std::size_t>(n));
        else
            out += digits + std::string(static_cast<std::size_t>(n - 6), '0');
        return;
    }
    case 'z':
        out += n >= 4 ? longGmt(f.offsetFromGMT) : zone.abbreviationForDate(date);
        return;
    case 'Z':
        if (n <= 3)
            out += offsetText(f.offsetFromGMT, false, false);
        else if (n == 4)
            out += longGmt(f.offsetFromGMT);
        else
            out += offsetText(f.offsetFromGMT, true, true);
        return;
    case 'X':
    case 'x': {
        bool z = t.letter == 'X';
        if (n == 1) {
            std::string s = offsetText(f.offsetFromGMT, false, z);
            out += s.size() > 3 && s.ends_with("00") ? s.substr(0, 3) : s;
        } else {
            out += offsetText(f.offsetFromGMT, n == 3 || n == 5, z);
        }
        return;
    }
    default:
        out.append(static_cast<std::size_t>(n), t.letter);
        return;
    }
}

// Reading.

struct Parsed {
    CalendarFields fields;
    std::optional<NSTimeZone> zone;
    // A zone abbreviation ("CST", "CDT") is judged once the date is known: the local zone's
    // own abbreviations around that date win over the listed (North American) ones.
    std::string zoneWord;
    std::optional<NSTimeZone> listedZone;
    bool pm = false;
    bool hasAmPm = false;
    bool twelveHour = false; // h or K
    bool hourIsK24 = false; // k: 1-24
    bool bc = false;
    bool twoDigitYear = false;
};

class Reader {
public:
    explicit Reader(std::string_view text)
        : text_(text)
    {
    }
    bool atEnd() const { return pos_ >= text_.size(); }
    std::string_view rest() const { return text_.substr(pos_); }
    void skip(std::size_t n) { pos_ += n; }

    // Digits: exactly `exact` when given, else 1 to `most`.
    std::optional<std::int64_t> number(int exact, int most)
    {
        std::size_t start = pos_;
        std::int64_t value = 0;
        int limit = exact > 0 ? exact : most;
        while (pos_ < text_.size() && pos_ - start < static_cast<std::size_t>(limit) && text_[pos_] >= '0'
            && text_[pos_] <= '9')
            value = value * 10 + (text_[pos_++] - '0');
        std::size_t taken = pos_ - start;
        if (taken == 0 || (exact > 0 && taken != static_cast<std::size_t>(exact)))
            return std::nullopt;
        return value;
    }

    // Index of the longest name matching here (case-insensitive), or -1.
    template <std::size_t N>
    int name(const char* const (&names)[N], bool abbreviated)
    {
        int best = -1;
        std::size_t bestLength = 0;
        for (std::size_t k = 0; k < N; ++k) {
            std::string_view full = names[k];
            std::string_view candidate = abbreviated ? full.substr(0, 3) : full;
            if (candidate.size() > bestLength && startsWithIgnoringCase(candidate)) {
                best = static_cast<int>(k);
                bestLength = candidate.size();
            }
        }
        if (best >= 0)
            pos_ += bestLength;
        return best;
    }

    bool literal(std::string_view expected)
    {
        if (!rest().starts_with(expected))
            return false;
        pos_ += expected.size();
        return true;
    }

    bool startsWithIgnoringCase(std::string_view word) const
    {
        if (rest().size() < word.size())
            return false;
        for (std::size_t k = 0; k < word.size(); ++k)
            if (std::tolower(static_cast<unsigned char>(text_[pos_ + k])) != std::tolower(static_cast<unsigned char>(word[k])))
                return false;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

bool isNumericToken(const Token& t)
{
    switch (t.letter) {
    case 'y':
    case 'Y':
    case 'u':
    case 'd':
    case 'D':
    case 'H':
    case 'h':
    case 'k':
    case 'K':
    case 'm':
    case 's':
    case 'S':
        return true;
    case 'M':
    case 'L':
        return t.count <= 2;
    default:
        return false;
    }
}

// "GMT", "UTC", "GMT+8", "GMT+08:00", "+0800", "+08:00", "Z" or an abbreviation.
std::optional<NSTimeZone> readZone(Reader& r, Parsed& p)
{
    auto signedOffset = [&]() -> std::optional<int> {
        std::string_view rest = r.rest();
        if (rest.empty() || (rest[0] != '+' && rest[0] != '-'))
            return std::nullopt;
        int sign = rest[0] == '-' ? -1 : 1;
        r.skip(1);
        std::string_view digits = r.rest();
        std::size_t n = 0;
        while (n < digits.size() && n < 4 && digits[n] >= '0' && digits[n] <= '9')
            ++n;
        int hours = 0, minutes = 0;
        if (n == 4) {
            hours = (digits[0] - '0') * 10 + (digits[1] - '0');
            minutes = (digits[2] - '0') * 10 + (digits[3] - '0');
            r.skip(4);
        } else if (n == 1 || n == 2) {
            hours = n == 1 ? digits[0] - '0' : (digits[0] - '0') * 10 + (digits[1] - '0');
            r.skip(n);
            if (r.rest().starts_with(":")) {
                r.skip(1);
                auto m = r.number(2, 2);
                if (!m)
                    return std::nullopt;
                minutes = static_cast<int>(*m);
            }
        } else {
            return std::nullopt;
        }
        if (hours > 18 || minutes > 59)
            return std::nullopt;
        return sign * (hours * 3600 + minutes * 60);
    };
    if (r.literal("GMT") || r.literal("UTC") || r.literal("UT")) {
        std::string_view rest = r.rest();
        if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
            auto offset = signedOffset();
            if (!offset)
                return std::nullopt;
            return NSTimeZone::timeZoneForSecondsFromGMT(*offset);
        }
        return NSTimeZone::timeZoneForSecondsFromGMT(0);
    }
    if (r.literal("Z"))
        return NSTimeZone::timeZoneForSecondsFromGMT(0);
    if (auto offset = signedOffset())
        return NSTimeZone::timeZoneForSecondsFromGMT(*offset);
    std::string_view rest = r.rest();
    std::size_t n = 0;
    while (n < rest.size() && std::isalpha(static_cast<unsigned char>(rest[n])))
        ++n;
    if (n == 0)
        return std::nullopt;
    r.skip(n);
    p.zoneWord = rest.substr(0, n);
    p.listedZone = NSTimeZone::timeZoneWithAbbreviation(p.zoneWord);
    return NSTimeZone::localTimeZone();
}

// The offset of the local zone where it writes `word`, at `seconds` or the nearest time within
// about a year ("CDT" in Shanghai is +9 in the summers of 1986-1991, "EST" in New York -5 even
// in July).
std::optional<int> localOffsetNamed(std::string_view word, double seconds)
{
    constexpr double step = 10 * 86400.0;
    constexpr int steps = 40;
    NSTimeZone local = NSTimeZone::localTimeZone();
    for (int k = 0; k <= steps; ++k) {
        for (double at : { seconds + k * step, seconds - k * step }) {
            NSDate date = NSDate::dateWithTimeIntervalSince1970(at);
            if (local.abbreviationForDate(date) == word)
                return local.secondsFromGMTForDate(date);
        }
    }
    return std::nullopt;
}

// The date of fields written with a zone abbreviation (see Parsed::zoneWord).
std::optional<NSDate> dateForZoneWord(const Parsed& p, double localSeconds)
{
    const CalendarFields& f = p.fields;
    if (auto offset = localOffsetNamed(p.zoneWord, localSeconds))
        return NSDate::dateWithTimeIntervalSince1970(NSTimeZone::timeZoneForSecondsFromGMT(*offset).secondsForFields(f));
    if (p.listedZone)
        return NSDate::dateWithTimeIntervalSince1970(p.listedZone->secondsForFields(f));
    tzset();
    if (p.zoneWord == tzname[0] || p.zoneWord == tzname[1])
        return NSDate::dateWithTimeIntervalSince1970(localSeconds);
    return std::nullopt;
}

bool readField(Reader& r, const Token& t, bool adjacent, Parsed& p)
{
    int n = t.count;
    int exact = adjacent ? n : 0;
    CalendarFields& f = p.fields;
    auto num = [&](int most) { return r.number(exact, std::max(most, n)); };
    switch (t.letter) {
    case 'G': {
        if (r.literal("AD"))
            return true;
        if (r.literal("BC")) {
            p.bc = true;
            return true;
        }
        return false;
    }
    case 'y':
    case 'Y':
    case 'u': {
        auto v = n == 2 ? r.number(2, 2) : num(9);
        if (!v)
            return false;
        f.year = *v;
        p.twoDigitYear = n == 2;
        return true;
    }
    case 'M':
    case 'L': {
        if (n <= 2) {
            auto v = num(2);
            if (!v)
                return false;
            f.month = static_cast<int>(*v);
            return true;
        }
        int k = r.name(monthNames, n == 3);
        if (k < 0)
            return false;
        f.month = k + 1;
        return true;
    }
    case 'E':
    case 'e':
    case 'c':
        // The weekday is read and checked for form only; the date comes from the other fields.
        return r.name(dayNames, n != 4) >= 0;
    case 'a':
        p.hasAmPm = true;
        if (r.startsWithIgnoringCase("AM")) {
            r.skip(2);
            return true;
        }
        if (r.startsWithIgnoringCase("PM")) {
            r.skip(2);
            p.pm = true;
            return true;
        }
        return false;
    case 'z':
    case 'Z':
    case 'X':
    case 'x':
        p.zone = readZone(r, p);
        return p.zone.has_value();
    case 'S': {
        std::string_view rest = r.rest();
        std::size_t digits = 0;
        std::size_t limit = exact > 0 ? static_cast<std::size_t>(exact) : rest.size();
        while (digits < rest.size() && digits < limit && rest[digits] >= '0' && rest[digits] <= '9')
            ++digits;
        if (digits == 0 || (exact > 0 && digits != limit))
            return false;
        double fraction = 0, scale = 0.1;
        for (std::size_t k = 0; k < digits; ++k, scale /= 10)
            fraction += (rest[k] - '0') * scale;
        f.fraction = fraction;
        r.skip(digits);
        return true;
    }
    default:
        break;
    }
    auto v = num(t.letter == 'D' ? 3 : 2);
    if (!v)
        return false;
    int value = static_cast<int>(*v);
    switch (t.letter) {
    case 'd':
        f.day = value;
        return true;
    case 'D':
        f.dayOfYear = value;
        return value >= 1 && value <= 366;
    case 'H':
        f.hour = value;
        return value <= 23;
    case 'k':
        f.hour = value == 24 ? 0 : value;
        return value >= 1 && value <= 24;
    case 'h':
        p.twelveHour = true;
        f.hour = value == 12 ? 0 : value;
        return value >= 1 && value <= 12;
    case 'K':
        p.twelveHour = true;
        f.hour = value;
        return value <= 11;
    case 'm':
        f.minute = value;
        return value <= 59;
    case 's':
        f.second = value;
        return value <= 59;
    default:
        return false; // a letter with no meaning cannot be read
    }
}

} // namespace

std::shared_ptr<NSDateFormatter> NSDateFormatter::create(std::string dateFormat)
{
    auto formatter = std::make_shared<NSDateFormatter>();
    formatter->setDateFormat(std::move(dateFormat));
    return formatter;
}

std::string NSDateFormatter::stringFromDate(const NSDate& date) const
{
    CalendarFields fields = timeZone_.fieldsForSeconds(date.timeIntervalSince1970());
    std::string out;
    for (const Token& t : tokenize(dateFormat_)) {
        if (t.letter == 0)
            out += t.literal;
        else
            writeField(out, t, fields, timeZone_, date);
    }
    return out;
}

std::optional<NSDate> NSDateFormatter::dateFromString(std::string_view text) const
{
    std::vector<Token> tokens = tokenize(dateFormat_);
    Parsed p;
    p.fields.year = 2000;
    p.fields.dayOfYear = 0;
    Reader r(text);
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        if (t.letter == 0) {
            if (!r.literal(t.literal))
                return std::nullopt;
            continue;
        }
        // Numbers written next to each other take exactly their pattern's width.
        bool adjacent = isNumericToken(t)
            && ((k + 1 < tokens.size() && isNumericToken(tokens[k + 1])) || (k > 0 && isNumericToken(tokens[k - 1])));
        if (!readField(r, t, adjacent, p))
            return std::nullopt;
    }
    if (!r.atEnd())
        return std::nullopt;

    CalendarFields& f = p.fields;
    if (p.twoDigitYear) {
        // Two-digit years fall within 80 years before and 20 after now.
        std::int64_t now = timeZone_.fieldsForSeconds(NSDate::date().timeIntervalSince1970()).year;
        std::int64_t year = (now - 80) / 100 * 100 + f.year;
        if (year < now - 80)
            year += 100;
        f.year = year;
    }
    if (p.bc)
        f.year = 1 - f.year;
    if (p.hasAmPm && p.pm && (p.twelveHour || f.hour < 12))
        f.hour = p.twelveHour ? f.hour + 12 : f.hour + 12;
    if (f.dayOfYear > 0) {
        std::int64_t days = foundation::daysFromCivil(f.year, 1, 1) + f.dayOfYear - 1;
        CalendarFields dated = NSTimeZone::timeZoneForSecondsFromGMT(0).fieldsForSeconds(static_cast<double>(days) * 86400);
        if (dated.year != f.year)
            return std::nullopt;
        f.month = dated.month;
        f.day = dated.day;
    }
    if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > foundation::daysInMonth(f.year, f.month))
        return std::nullopt;
    const NSTimeZone& zone = p.zone ? *p.zone : timeZone_;
    double seconds = zone.secondsForFields(f);
    if (!p.zoneWord.empty())
        return dateForZoneWord(p, seconds);
    return NSDate::dateWithTimeIntervalSince1970(seconds);
}
