// Request: one HTTP request as the test server received it, kept for the test's assertions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "testing/httpserver/Headers.h"

namespace httpserver {

struct Request {
    std::string method; // "GET"
    std::string target; // as sent: "/a/b?x=1" or "http://host/a/b?x=1"
    std::string path; // "/a/b"
    std::string query; // "x=1", without the '?'
    std::string version; // "HTTP/1.1"
    Headers headers;
    std::string body; // decoded: chunked framing removed
    bool chunked = false; // the body came with Transfer-Encoding: chunked
    std::string head; // request line and header lines, byte for byte, up to the blank line

    bool tls = false;
    std::uint64_t connectionId = 0; // connections are numbered from 1 per server
    std::size_t index = 0; // order of arrival on the server, from 0
    std::size_t indexOnConnection = 0; // 0 for the first request on its connection

    // HTTP/1.1 without "Connection: close", or HTTP/1.0 with "Connection: keep-alive".
    bool wantsKeepAlive() const;
    bool isHead() const { return method == "HEAD"; }
};

} // namespace httpserver
