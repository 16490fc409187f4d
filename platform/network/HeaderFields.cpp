// Case-insensitive header fields.
#include "platform/network/HeaderFields.h"

#include <algorithm>
#include <charconv>

namespace network {

namespace {
// Field names and the tokens compared here are ASCII: folding needs no locale.
constexpr char foldASCII(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return x == y || foldASCII(x) == foldASCII(y); });
}

std::string lowercased(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = foldASCII(c);
    return result;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

void HeaderFields::set(std::string_view name, std::string value)
{
    auto it = std::find_if(fields_.begin(), fields_.end(), [&](const Field& f) { return equalsIgnoringCase(f.first, name); });
    if (it == fields_.end()) {
        fields_.emplace_back(std::string(name), std::move(value));
        return;
    }
    it->second = std::move(value);
    std::erase_if(fields_, [&](const Field& f) { return &f != &*it && equalsIgnoringCase(f.first, name); });
}

void HeaderFields::add(std::string_view name, std::string_view value)
{
    for (auto& field : fields_) {
        if (!equalsIgnoringCase(field.first, name))
            continue;
        field.second += ", ";
        field.second += value;
        return;
    }
    fields_.emplace_back(std::string(name), std::string(value));
}

void HeaderFields::remove(std::string_view name)
{
    std::erase_if(fields_, [&](const Field& f) { return equalsIgnoringCase(f.first, name); });
}

const std::string* HeaderFields::find(std::string_view name) const
{
    for (const auto& field : fields_)
        if (equalsIgnoringCase(field.first, name))
            return &field.second;
    return nullptr;
}

std::optional<std::string> HeaderFields::get(std::string_view name) const
{
    const std::string* value = find(name);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

Value HeaderFields::dictionary() const
{
    Value result = Value::dictionary();
    for (const auto& [name, value] : fields_)
        result.set(name, value);
    return result;
}

HeaderFields HeaderFields::fromDictionary(const Value& dictionary)
{
    HeaderFields result;
    if (!dictionary.isDictionary())
        return result;
    for (const auto& [name, value] : dictionary.asDictionary())
        result.set(name, value.isString() ? value.asString() : value.description());
    return result;
}

std::optional<std::int64_t> HeaderFields::contentLength() const
{
    const std::string* field = find("Content-Length");
    if (!field)
        return std::nullopt;
    std::string_view text = trimmed(*field);
    std::int64_t value = -1;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

} // namespace network
