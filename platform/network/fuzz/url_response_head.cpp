// Fuzz target: response heads fed line by line as the transport hands them over.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/network/ResponseHead.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    network::ResponseHeadReader reader;
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        text.remove_prefix(line.size());
        auto result = reader.line(line);
        if (result != network::ResponseHeadReader::Result::More)
            break;
    }
    network::parseStatusLine(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
