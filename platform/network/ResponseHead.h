// Reading a response head line by line as the transport hands it over: the status line, header
// fields (folded continuation lines included), the end of the head. Interim 1xx heads are
// skipped. Oversized or malformed heads are refused.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/network/HeaderFields.h"

namespace network {

struct ResponseHead {
    int status = 0;
    std::string version; // "HTTP/1.1"
    HeaderFields headers; // repeated fields folded with ", "
    std::vector<HeaderFields::Field> rawFields; // as received
};

class ResponseHeadReader {
public:
    enum class Result { More, Complete, Malformed, TooLarge };
    static constexpr std::size_t kMaxHeadBytes = 256 * 1024;
    static constexpr std::size_t kMaxFields = 500;
    // Room made for the fields of a head at its status line: a typical head then grows its
    // two lists once each instead of field by field.
    static constexpr std::size_t kUsualFields = 8;

    // One line, with or without its CRLF. After Complete, head() holds the final head.
    Result line(std::string_view line);
    const ResponseHead& head() const { return head_; }
    ResponseHead takeHead() { return std::move(head_); }

private:
    ResponseHead head_;
    bool sawStatus_ = false;
    std::size_t bytes_ = 0;
};

// "HTTP/1.1 200 OK" -> version and status; nullopt when it is no status line.
std::optional<std::pair<std::string, int>> parseStatusLine(std::string_view line);

} // namespace network
