// Case-insensitive header list.
#include "testing/httpserver/Headers.h"

#include <algorithm>

namespace httpserver {

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

void Headers::add(std::string name, std::string value)
{
    fields_.emplace_back(std::move(name), std::move(value));
}

void Headers::set(const std::string& name, std::string value)
{
    remove(name);
    add(name, std::move(value));
}

void Headers::remove(std::string_view name)
{
    std::erase_if(fields_, [&](const Field& f) { return equalsIgnoringCase(f.first, name); });
}

bool Headers::has(std::string_view name) const
{
    return get(name).has_value();
}

std::optional<std::string> Headers::get(std::string_view name) const
{
    for (const auto& f : fields_) {
        if (equalsIgnoringCase(f.first, name))
            return f.second;
    }
    return std::nullopt;
}

std::vector<std::string> Headers::getAll(std::string_view name) const
{
    std::vector<std::string> all;
    for (const auto& f : fields_) {
        if (equalsIgnoringCase(f.first, name))
            all.push_back(f.second);
    }
    return all;
}

std::string Headers::value(std::string_view name) const
{
    return get(name).value_or(std::string());
}

} // namespace httpserver
