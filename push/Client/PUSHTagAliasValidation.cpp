// Tags and alias validation.
#include "push/Client/PUSHTagAliasValidation.h"

#include <cstdint>
#include <optional>

namespace {

// The next code point of UTF-8 text, or none for a malformed sequence.
std::optional<char32_t> nextCodePoint(const std::string& text, std::size_t& at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t extra = 0;
    char32_t point = 0;
    if (lead < 0x80) {
        point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        point = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        point = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        point = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (extra && at + extra >= text.size())
        return std::nullopt;
    for (std::size_t i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        point = (point << 6) | (next & 0x3F);
    }
    // Overlong forms are refused, so no ASCII letter can hide in a longer sequence.
    static constexpr char32_t kLeast[] = { 0, 0x80, 0x800, 0x10000 };
    if (point < kLeast[extra] || point > 0x10FFFF)
        return std::nullopt;
    at += extra + 1;
    return point;
}

bool isAllowed(char32_t point)
{
    if (point >= '0' && point <= '9')
        return true;
    if ((point >= 'A' && point <= 'Z') || (point >= 'a' && point <= 'z'))
        return true;
    return point == '_' || (point >= 0x4E00 && point <= 0x9FFF);
}

// UTF-16 units of valid UTF-8 text.
std::size_t utf16Length(const std::string& text)
{
    std::size_t units = 0;
    for (std::size_t at = 0; at < text.size();) {
        auto point = nextCodePoint(text, at);
        if (!point)
            return units;
        units += *point > 0xFFFF ? 2 : 1;
    }
    return units;
}

} // namespace

namespace push_client {

bool isValidTagAlias(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        auto point = nextCodePoint(text, at);
        if (!point || !isAllowed(*point))
            return false;
    }
    return true;
}

} // namespace push_client

int PUSHTagAliasValidation::validateTagsAlias(const Value& tags, const Value& alias)
{
    if (tags.isNil() && alias.isNil())
        return PUSHTagAliasNothingGiven;
    if (!tags.isNil()) {
        if (int code = validateTags(tags))
            return code;
    }
    if (!alias.isNil())
        return validateAlias(alias);
    return PUSHTagAliasSucceeded;
}

int PUSHTagAliasValidation::validateTags(const Value& tags)
{
    if (!tags.isArray())
        return PUSHTagAliasInvalidTags;
    if (tags.count() > kMaxTags)
        return PUSHTagAliasTooManyTags;
    std::size_t total = 0;
    for (const Value& tag : tags.asArray()) {
        if (!tag.isString())
            return PUSHTagAliasInvalidTags;
        if (tag.asString().size() > kMaxBytes)
            return PUSHTagAliasTagTooLong;
        if (!push_client::isValidTagAlias(tag.asString()))
            return PUSHTagAliasInvalidTags;
        total += tag.asString().size();
    }
    return total > kMaxTotalBytes ? PUSHTagAliasTagsTooLong : PUSHTagAliasSucceeded;
}

int PUSHTagAliasValidation::validateAlias(const Value& alias)
{
    if (!alias.isString())
        return PUSHTagAliasInvalidAlias;
    if (alias.asString().size() > kMaxBytes)
        return PUSHTagAliasAliasTooLong;
    if (!push_client::isValidTagAlias(alias.asString()))
        return PUSHTagAliasInvalidAlias;
    return PUSHTagAliasSucceeded;
}

Value PUSHTagAliasValidation::filterValidTags(const Value& tags)
{
    if (!tags.isArray())
        return Value();
    constexpr std::size_t kMaxWeight = 100110;
    Value taken = Value::array();
    std::size_t weight = 0;
    std::size_t bytes = 0;
    for (const Value& tag : tags.asArray()) {
        if (taken.count() >= kMaxTags)
            break;
        if (!tag.isString() || tag.asString().size() > kMaxBytes || !push_client::isValidTagAlias(tag.asString()))
            continue;
        const std::string& text = tag.asString();
        // The subset handed back must itself validate, so its UTF-8 total is capped too.
        if (weight + utf16Length(text) + 2 > kMaxWeight || bytes + text.size() > kMaxTotalBytes)
            break;
        weight += utf16Length(text) + 2;
        bytes += text.size();
        taken.append(tag);
    }
    return taken;
}
