// The JSON scanner: a small state machine over the grammar, used only off the fast path.
#include "platform/persistence/JSONScanner.h"

#include <vector>

#include "platform/persistence/TextChecks.h"

namespace persistence::json {
namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot lead.
std::size_t sequenceLength(unsigned char c)
{
    if (c >= 0xC2 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF4)
        return 4;
    return 0;
}

// True when the digits (without sign) are beyond the integer range for that sign.
bool outOfIntegerRange(std::string_view digits, bool negative)
{
    std::string_view limit = negative ? "9223372036854775808" : "18446744073709551615";
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove_prefix(1);
    if (digits.size() != limit.size())
        return digits.size() > limit.size();
    return digits > limit;
}

class Scanner {
public:
    Scanner(std::string_view text, bool allowFragments)
        : s_(text)
        , allowFragments_(allowFragments)
    {
    }

    std::optional<Problem> run();

private:
    enum class State { Value, ValueOrClose, KeyOrClose, Key, Colon, AfterValue };

    bool fail(std::size_t at, std::string what)
    {
        Problem p;
        p.what = std::move(what);
        p.offset = at;
        for (std::size_t k = 0; k < at && k < s_.size(); ++k) {
            if (s_[k] == '\n') {
                ++p.line;
                p.column = 1;
            } else {
                ++p.column;
            }
        }
        problem_ = std::move(p);
        return false;
    }
    void skipSpace()
    {
        while (i_ < s_.size() && isSpace(s_[i_]))
            ++i_;
    }
    bool scanValue(State& state);
    bool scanString();
    bool scanEscape();
    bool scanNumber();
    bool scanLiteral(std::string_view word);
    bool closeContainer(char close, State& state);

    std::string_view s_;
    bool allowFragments_;
    std::size_t i_ = 0;
    std::vector<char> stack_;
    std::optional<Problem> problem_;
};

std::optional<Problem> Scanner::run()
{
    skipSpace();
    if (s_.empty()) {
        fail(0, "Unable to parse empty data");
        return problem_;
    }
    if (i_ < s_.size() && !allowFragments_ && s_[i_] != '{' && s_[i_] != '[') {
        fail(i_, "JSON text did not start with array or object and option to allow fragments not set");
        return problem_;
    }
    State state = State::Value;
    for (;;) {
        skipSpace();
        if (state == State::AfterValue && stack_.empty())
            break;
        if (i_ >= s_.size()) {
            fail(i_, "Unexpected end of data");
            return problem_;
        }
        char c = s_[i_];
        bool ok = true;
        switch (state) {
        case State::Value:
            ok = scanValue(state);
            break;
        case State::ValueOrClose:
            ok = c == ']' ? closeContainer(']', state) : scanValue(state);
            break;
        case State::KeyOrClose:
        case State::Key:
            if (c == '}' && state == State::KeyOrClose) {
                ok = closeContainer('}', state);
            } else if (c != '"') {
                ok = fail(i_, "No string key for value in object");
            } else {
                ok = scanString();
                state = State::Colon;
            }
            break;
        case State::Colon:
            if (c != ':') {
                ok = fail(i_, "No ':' after key in object");
            } else {
                ++i_;
                state = State::Value;
            }
            break;
        case State::AfterValue:
            if (c == ',') {
                ++i_;
                state = stack_.back() == '{' ? State::Key : State::Value;
            } else if (c == '}' || c == ']') {
                ok = closeContainer(c, state);
            } else {
                ok = fail(i_, stack_.back() == '{' ? "Badly formed object: expected ',' or '}'"
                                                   : "Badly formed array: expected ',' or ']'");
            }
            break;
        }
        if (!ok)
            return problem_;
    }
    skipSpace();
    if (i_ < s_.size())
        fail(i_, "Garbage at end");
    return problem_;
}

bool Scanner::closeContainer(char close, State& state)
{
    char open = close == '}' ? '{' : '[';
    if (stack_.empty() || stack_.back() != open)
        return fail(i_, std::string("Unexpected '") + close + "'");
    stack_.pop_back();
    ++i_;
    state = State::AfterValue;
    return true;
}

bool Scanner::scanValue(State& state)
{
    char c = s_[i_];
    if (c == '{' || c == '[') {
        if (stack_.size() >= kMaxDepth)
            return fail(i_, "Too many nested arrays or dictionaries");
        stack_.push_back(c);
        ++i_;
        state = c == '{' ? State::KeyOrClose : State::ValueOrClose;
        return true;
    }
    state = State::AfterValue;
    if (c == '"')
        return scanString();
    if (c == 't')
        return scanLiteral("true");
    if (c == 'f')
        return scanLiteral("false");
    if (c == 'n')
        return scanLiteral("null");
    if (c == '-' || isDigit(c))
        return scanNumber();
    return fail(i_, std::string("Invalid value"));
}

bool Scanner::scanLiteral(std::string_view word)
{
    if (s_.substr(i_, word.size()) != word)
        return fail(i_, "Invalid literal (expected '" + std::string(word) + "')");
    i_ += word.size();
    return true;
}

bool Scanner::scanNumber()
{
    std::size_t start = i_;
    if (s_[i_] == '-')
        ++i_;
    if (i_ >= s_.size() || !isDigit(s_[i_]))
        return fail(start, "Invalid number");
    if (s_[i_] == '0') {
        ++i_;
    } else {
        while (i_ < s_.size() && isDigit(s_[i_]))
            ++i_;
    }
    if (i_ < s_.size() && s_[i_] == '.') {
        ++i_;
        if (i_ >= s_.size() || !isDigit(s_[i_]))
            return fail(start, "Invalid number: no digit after the decimal point");
        while (i_ < s_.size() && isDigit(s_[i_]))
            ++i_;
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
        ++i_;
        if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-'))
            ++i_;
        if (i_ >= s_.size() || !isDigit(s_[i_]))
            return fail(start, "Invalid number: no digit in the exponent");
        while (i_ < s_.size() && isDigit(s_[i_]))
            ++i_;
    }
    return true;
}

bool Scanner::scanEscape()
{
    std::size_t start = i_;
    ++i_; // the backslash
    if (i_ >= s_.size())
        return fail(start, "Unterminated string");
    char e = s_[i_++];
    if (e == '"' || e == '\\' || e == '/' || e == 'b' || e == 'f' || e == 'n' || e == 'r' || e == 't')
        return true;
    if (e != 'u')
        return fail(start, std::string("Invalid escape sequence '\\") + e + "'");
    auto readHex = [&](unsigned& out) {
        if (i_ + 4 > s_.size())
            return false;
        out = 0;
        for (int k = 0; k < 4; ++k) {
            int h = hexValue(s_[i_ + static_cast<std::size_t>(k)]);
            if (h < 0)
                return false;
            out = out * 16 + static_cast<unsigned>(h);
        }
        i_ += 4;
        return true;
    };
    unsigned unit = 0;
    if (!readHex(unit))
        return fail(start, "Invalid \\u escape: four hexadecimal digits expected");
    if (unit >= 0xDC00 && unit <= 0xDFFF)
        return fail(start, "Invalid \\u escape: low surrogate without a high surrogate");
    if (unit < 0xD800 || unit > 0xDBFF)
        return true;
    unsigned low = 0;
    if (s_.substr(i_, 2) != "\\u" || (i_ += 2, !readHex(low)) || low < 0xDC00 || low > 0xDFFF)
        return fail(start, "Invalid \\u escape: high surrogate without a low surrogate");
    return true;
}

bool Scanner::scanString()
{
    std::size_t start = i_++;
    while (i_ < s_.size()) {
        auto c = static_cast<unsigned char>(s_[i_]);
        if (c == '"') {
            ++i_;
            return true;
        }
        if (c == '\\') {
            if (!scanEscape())
                return false;
            continue;
        }
        if (c < 0x20)
            return fail(i_, "Unescaped control character in string");
        if (c < 0x80) {
            ++i_;
            continue;
        }
        std::size_t length = sequenceLength(c);
        if (length == 0 || i_ + length > s_.size() || !isValidUTF8(s_.substr(i_, length)))
            return fail(i_, "Invalid UTF-8 in string");
        i_ += length;
    }
    return fail(start, "Unterminated string");
}

} // namespace

std::optional<Problem> findProblem(std::string_view text, bool allowFragments)
{
    return Scanner(text, allowFragments).run();
}

std::optional<std::string> widenHugeIntegers(std::string_view text)
{
    std::string out;
    bool changed = false;
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\')
                    ++i;
            }
            ++i;
            continue;
        }
        if (c != '-' && !isDigit(c)) {
            ++i;
            continue;
        }
        std::size_t start = i;
        bool integral = true;
        ++i;
        while (i < text.size() && (isDigit(text[i]) || text[i] == '.' || text[i] == 'e' || text[i] == 'E'
                                      || text[i] == '+' || text[i] == '-')) {
            if (!isDigit(text[i]))
                integral = false;
            ++i;
        }
        bool negative = c == '-';
        std::string_view digits = text.substr(start + (negative ? 1 : 0), i - start - (negative ? 1 : 0));
        if (!integral || digits.empty() || !outOfIntegerRange(digits, negative))
            continue;
        out.append(text.substr(copied, i - copied));
        out += ".0";
        copied = i;
        changed = true;
    }
    if (!changed)
        return std::nullopt;
    out.append(text.substr(copied));
    return out;
}

} // namespace persistence::json
