// Fuzz target for the JSON parser: any bytes are either refused with an error trace or
// accepted, and whatever is accepted writes (compact and human-readable) and reads back equal.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/JTJsonParser.h"
#include "net/JTJsonWriter.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    JTJsonParser parser;
    // The first byte picks the caller's limit, so "no limit" (the hard cap) is explored too.
    if (size > 0 && data[0] == ' ')
        parser.setMaxDepth(0);
    Value value = parser.fragmentWithString(text);
    if (value.isAbsent()) {
        check(parser.errorTrace().count() > 0);
        return 0;
    }
    check(parser.errorTrace().isAbsent());

    for (bool humanReadable : { false, true }) {
        JTJsonWriter writer;
        writer.setMaxDepth(parser.maxDepth());
        writer.setHumanReadable(humanReadable);
        std::optional<std::string> written = writer.stringWithFragment(value);
        check(written.has_value());
        JTJsonParser again;
        again.setMaxDepth(parser.maxDepth());
        check(again.fragmentWithString(*written) == value);
    }
    return 0;
}
