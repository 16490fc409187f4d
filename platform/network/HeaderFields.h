// HeaderFields: HTTP header fields whose names compare without regard to case. Setting a field
// replaces every field of that name; the first spelling of a name is kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

namespace network {

bool equalsIgnoringCase(std::string_view a, std::string_view b);
std::string lowercased(std::string_view text);
std::string_view trimmed(std::string_view text);

class HeaderFields {
public:
    using Field = std::pair<std::string, std::string>;

    void set(std::string_view name, std::string value);
    // Appends to an existing field with ", " (how repeated fields fold), else sets it.
    void add(std::string_view name, std::string_view value);
    void remove(std::string_view name);
    void reserve(std::size_t count) { fields_.reserve(count); }
    std::optional<std::string> get(std::string_view name) const;
    // The value in place (valid until the fields change); nullptr when absent.
    const std::string* find(std::string_view name) const;
    bool has(std::string_view name) const { return find(name) != nullptr; }

    const std::vector<Field>& fields() const { return fields_; }
    bool empty() const { return fields_.empty(); }
    // As a dictionary of strings.
    Value dictionary() const;
    static HeaderFields fromDictionary(const Value& dictionary);

    // The Content-Length field as a number; nullopt when absent or not a plain count.
    std::optional<std::int64_t> contentLength() const;

    bool operator==(const HeaderFields&) const = default;

private:
    std::vector<Field> fields_;
};

} // namespace network
