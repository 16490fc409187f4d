// Headers: an ordered list of header fields whose names compare without regard to case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace httpserver {

bool equalsIgnoringCase(std::string_view a, std::string_view b);

class Headers {
public:
    using Field = std::pair<std::string, std::string>;

    void add(std::string name, std::string value);
    // Replaces every field of that name by one field.
    void set(const std::string& name, std::string value);
    void remove(std::string_view name);

    bool has(std::string_view name) const;
    std::optional<std::string> get(std::string_view name) const;
    std::vector<std::string> getAll(std::string_view name) const;
    // get() or an empty string.
    std::string value(std::string_view name) const;

    const std::vector<Field>& fields() const { return fields_; }
    bool empty() const { return fields_.empty(); }
    std::size_t size() const { return fields_.size(); }

private:
    std::vector<Field> fields_;
};

} // namespace httpserver
