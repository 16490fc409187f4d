// NSCharacterSet: a set of Unicode scalar values, as text trimming and percent encoding use
// it. ASCII members are a bitmap; beyond ASCII a set is a Unicode class (letters and digits,
// white space) plus characters added or removed by hand.
#pragma once

#include <bitset>
#include <set>
#include <string_view>

class NSCharacterSet {
public:
    static NSCharacterSet characterSetWithCharactersInString(std::string_view characters);
    static NSCharacterSet alphanumericCharacterSet();
    static NSCharacterSet decimalDigitCharacterSet();
    static NSCharacterSet whitespaceCharacterSet();
    static NSCharacterSet whitespaceAndNewlineCharacterSet();
    static NSCharacterSet newlineCharacterSet();
    // The characters each part of a URL may hold unescaped (unreserved and sub-delimiters,
    // plus the part's own delimiters).
    static NSCharacterSet URLQueryAllowedCharacterSet();
    static NSCharacterSet URLPathAllowedCharacterSet();
    static NSCharacterSet URLHostAllowedCharacterSet();
    static NSCharacterSet URLFragmentAllowedCharacterSet();
    static NSCharacterSet URLUserAllowedCharacterSet();
    static NSCharacterSet URLPasswordAllowedCharacterSet();

    bool characterIsMember(char32_t c) const;
    void addCharactersInString(std::string_view characters);
    void removeCharactersInString(std::string_view characters);
    NSCharacterSet invertedSet() const;

private:
    enum class UnicodeClass { None, Alphanumeric, Digit, Whitespace, WhitespaceAndNewline, Newline };

    bool baseMember(char32_t c) const;

    std::bitset<128> ascii_;
    UnicodeClass unicode_ = UnicodeClass::None;
    std::set<char32_t> added_;
    std::set<char32_t> removed_;
    bool inverted_ = false;
};
