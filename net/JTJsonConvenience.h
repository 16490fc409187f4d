// The four JSON conversions every value and every string offers. Each uses a parser or writer
// of its own thread (so threads never share per-call state), and on failure writes one line
// with that instance's error trace to the log and gives nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

// A dictionary or an array as JSON text.
std::optional<std::string> JSONRepresentation(const Value& value);
// Any writable value as JSON text.
std::optional<std::string> JSONFragment(const Value& value);
// The dictionary or array a JSON text holds; absent otherwise.
Value JSONValue(std::string_view text);
// Any single value a JSON text holds; absent on failure.
Value JSONFragmentValue(std::string_view text);
