// Helpers for the JSON tests: the error trace as (code, message) pairs, and nested texts.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "net/JTJsonBase.h"

namespace net_test {

using Trace = std::vector<std::pair<std::int64_t, std::string>>;

inline Trace traceOf(const JTJsonBase& json)
{
    Trace trace;
    for (const Value& item : json.errorTrace().asArray()) {
        auto error = item.asObject<NSError>();
        trace.emplace_back(error ? error->code() : -1, error ? error->localizedDescription() : "?");
    }
    return trace;
}

inline std::string nestedArrays(std::size_t depth, const std::string& inner = "")
{
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

} // namespace net_test
