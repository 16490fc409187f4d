// Parsing of request heads and chunked request bodies from untrusted bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "testing/httpserver/Request.h"

namespace httpserver {

struct HeadResult {
    enum class Status { Incomplete, Complete, Malformed, TooLarge };
    Status status = Status::Incomplete;
    std::size_t consumed = 0; // bytes of the head, blank line included, when Complete
    Request request; // method, target, path, query, version, headers, head when Complete
    std::string error; // what was wrong when Malformed
};

// Reads one request head from the start of `buffer`. Leading blank lines are skipped.
// A head longer than `maxHeadBytes` without its blank line is TooLarge.
HeadResult parseRequestHead(std::string_view buffer, std::size_t maxHeadBytes);

struct BodyFraming {
    enum class Kind { None, Length, Chunked, Invalid };
    Kind kind = Kind::None;
    std::uint64_t length = 0;
    std::string error;
};

// How the body of a parsed request is delimited (Transfer-Encoding over Content-Length).
BodyFraming bodyFramingOf(const Request& request);

// Decodes a chunked body as bytes arrive. Chunk extensions and trailer fields are skipped.
class ChunkedDecoder {
public:
    explicit ChunkedDecoder(std::uint64_t maxBodyBytes);

    // Consumes bytes up to the end of the body or the first error; returns how many it used.
    std::size_t feed(std::string_view bytes);

    bool done() const { return state_ == State::Done; }
    bool failed() const { return state_ == State::Failed; }
    const std::string& error() const { return error_; }
    std::string& body() { return body_; }

private:
    enum class State {
        Size,
        Extension,
        SizeLF,
        Data,
        DataCR,
        DataLF,
        TrailerStart,
        TrailerLine,
        TrailerLF,
        FinalLF,
        Done,
        Failed
    };

    bool fail(std::string why);
    bool step(char c);

    State state_ = State::Size;
    std::uint64_t maxBodyBytes_;
    std::uint64_t chunkRemaining_ = 0;
    int sizeDigits_ = 0;
    std::size_t lineBytes_ = 0;
    std::string body_;
    std::string error_;
};

// Parses a Content-Length value: digits only, no sign, no overflow.
bool parseDecimal(std::string_view text, std::uint64_t& out);

} // namespace httpserver
