// Character sets for trimming and percent encoding (see NSCharacterSet.h).
#include "platform/foundation/NSCharacterSet.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

#include "platform/foundation/Utf8.h"

namespace {

// Unicode letters and digits beyond ASCII, from the C library's UTF-8 classification.
bool isUnicodeAlphanumeric(char32_t c)
{
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (!utf8)
        return false;
    return iswalnum_l(static_cast<wint_t>(c), utf8) != 0;
}

bool isUnicodeDigit(char32_t c)
{
    // The decimal digit blocks of the scripts in common use (each a run of ten).
    static constexpr char32_t zeros[] = { 0x660, 0x6f0, 0x7c0, 0x966, 0x9e6, 0xa66, 0xae6, 0xb66, 0xbe6, 0xc66, 0xce6,
        0xd66, 0xe50, 0xed0, 0xf20, 0x1040, 0x17e0, 0x1810, 0xff10 };
    for (char32_t zero : zeros)
        if (c >= zero && c < zero + 10)
            return true;
    return false;
}

bool isUnicodeBlank(char32_t c)
{
    return c == 0xa0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200a) || c == 0x202f || c == 0x205f || c == 0x3000;
}

bool isUnicodeNewline(char32_t c)
{
    return c == 0x85 || c == 0x2028 || c == 0x2029;
}

NSCharacterSet urlSet(std::string_view delimiters)
{
    NSCharacterSet set = NSCharacterSet::characterSetWithCharactersInString(
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~!$&'()*+,;=");
    set.addCharactersInString(delimiters);
    return set;
}

} // namespace

NSCharacterSet NSCharacterSet::characterSetWithCharactersInString(std::string_view characters)
{
    NSCharacterSet set;
    set.addCharactersInString(characters);
    return set;
}

NSCharacterSet NSCharacterSet::alphanumericCharacterSet()
{
    NSCharacterSet set = characterSetWithCharactersInString(
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    set.unicode_ = UnicodeClass::Alphanumeric;
    return set;
}

NSCharacterSet NSCharacterSet::decimalDigitCharacterSet()
{
    NSCharacterSet set = characterSetWithCharactersInString("0123456789");
    set.unicode_ = UnicodeClass::Digit;
    return set;
}

NSCharacterSet NSCharacterSet::whitespaceCharacterSet()
{
    NSCharacterSet set = characterSetWithCharactersInString(" \t");
    set.unicode_ = UnicodeClass::Whitespace;
    return set;
}

NSCharacterSet NSCharacterSet::whitespaceAndNewlineCharacterSet()
{
    NSCharacterSet set = characterSetWithCharactersInString(" \t\n\v\f\r");
    set.unicode_ = UnicodeClass::WhitespaceAndNewline;
    return set;
}

NSCharacterSet NSCharacterSet::newlineCharacterSet()
{
    NSCharacterSet set = characterSetWithCharactersInString("\n\v\f\r");
    set.unicode_ = UnicodeClass::Newline;
    return set;
}

NSCharacterSet NSCharacterSet::URLQueryAllowedCharacterSet()
{
    return urlSet(":@/?");
}

NSCharacterSet NSCharacterSet::URLPathAllowedCharacterSet()
{
    return urlSet(":@/");
}

NSCharacterSet NSCharacterSet::URLHostAllowedCharacterSet()
{
    return urlSet(":[]");
}

NSCharacterSet NSCharacterSet::URLFragmentAllowedCharacterSet()
{
    return urlSet(":@/?");
}

NSCharacterSet NSCharacterSet::URLUserAllowedCharacterSet()
{
    return urlSet("");
}

NSCharacterSet NSCharacterSet::URLPasswordAllowedCharacterSet()
{
    return urlSet("");
}

bool NSCharacterSet::baseMember(char32_t c) const
{
    if (c < 128)
        return ascii_[c];
    if (removed_.count(c))
        return false;
    if (added_.count(c))
        return true;
    switch (unicode_) {
    case UnicodeClass::None:
        return false;
    case UnicodeClass::Alphanumeric:
        return isUnicodeAlphanumeric(c);
    case UnicodeClass::Digit:
        return isUnicodeDigit(c);
    case UnicodeClass::Whitespace:
        return isUnicodeBlank(c);
    case UnicodeClass::WhitespaceAndNewline:
        return isUnicodeBlank(c) || isUnicodeNewline(c);
    case UnicodeClass::Newline:
        return isUnicodeNewline(c);
    }
    return false;
}

bool NSCharacterSet::characterIsMember(char32_t c) const
{
    return baseMember(c) != inverted_;
}

void NSCharacterSet::addCharactersInString(std::string_view characters)
{
    std::size_t i = 0;
    while (i < characters.size()) {
        char32_t c = foundation::utf8::decodeLenient(characters, i);
        if (inverted_) {
            // Adding to an inverted set removes from what it inverts.
            if (c < 128)
                ascii_[c] = false;
            else {
                added_.erase(c);
                removed_.insert(c);
            }
            continue;
        }
        if (c < 128)
            ascii_[c] = true;
        else {
            removed_.erase(c);
            added_.insert(c);
        }
    }
}

void NSCharacterSet::removeCharactersInString(std::string_view characters)
{
    inverted_ = !inverted_;
    addCharactersInString(characters);
    inverted_ = !inverted_;
}

NSCharacterSet NSCharacterSet::invertedSet() const
{
    NSCharacterSet set = *this;
    set.inverted_ = !inverted_;
    return set;
}
