// Reply: what a route answers, built by chaining, then rendered into the script a connection runs.
// Besides status, headers and body it scripts the faults tests need: chunked framing, a delay,
// a trickled body, a lying Content-Length, a close or reset mid-body, raw header lines, silence.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testing/httpserver/Headers.h"
#include "testing/httpserver/Request.h"
#include "testing/httpserver/Script.h"

namespace httpserver {

// "OK", "Not Found"...; empty for codes it does not know.
std::string reasonPhrase(int status);

class Reply {
public:
    explicit Reply(int status = 200, std::string body = {});

    static Reply text(std::string body, int status = 200); // text/plain; charset=utf-8
    static Reply json(std::string body, int status = 200); // application/json
    static Reply redirect(int status, std::string location);
    static Reply raw(Script script); // sent as is, nothing added
    static Reply noAnswer(); // reads on and never answers, until the peer closes or the server stops

    Reply& status(int code);
    Reply& reason(std::string phrase);
    // Replaces the status line, CRLF excluded, byte for byte ("HTTP/1.1 abc", "garbage").
    Reply& statusLine(std::string line);
    Reply& header(std::string name, std::string value);
    Reply& contentType(std::string type);
    Reply& body(std::string bytes);
    // A body of `length` bytes made piece by piece as it is sent, for bodies too large to hold.
    // closeAfter()/resetAfter() then count body bytes, chunk framing excluded.
    Reply& body(std::uint64_t length, BodySource source);

    // Framing. Default: Content-Length of the body.
    Reply& chunked(std::size_t chunkSize = 0); // chunks of chunkSize bytes (0: one chunk)
    Reply& closeDelimited(); // no length; the body ends when the connection closes
    Reply& contentLength(std::uint64_t declared); // declares a length other than the body's

    // Head appended verbatim after the header fields: malformed or huge lines (CRLF added).
    Reply& rawHeaderLine(std::string line);

    // Timing.
    Reply& delay(std::chrono::milliseconds before); // before the status line
    Reply& trickle(std::size_t bytes, std::chrono::milliseconds every); // body in pieces
    Reply& waitBeforeHead(std::shared_ptr<Gate> gate);
    Reply& waitBeforeBody(std::shared_ptr<Gate> gate); // head sent, body held until the gate opens

    // Ends. Counts are of body bytes as they go on the wire (chunk framing included).
    Reply& closeAfter(std::size_t bodyBytes); // then FIN (no TLS close_notify)
    Reply& resetAfter(std::size_t bodyBytes); // then RST
    Reply& closeConnection(); // "Connection: close", and close after the reply

    int statusCode() const { return status_; }
    const Headers& headers() const { return headers_; }
    const std::string& bodyBytes() const { return body_; }

    // The script that answers `request` (HEAD, 204 and 304 carry no body; a request that
    // does not keep the connection alive gets "Connection: close" and a close).
    Script render(const Request& request) const;

private:
    enum class Framing { Length, Chunked, Close };

    std::string head(bool closing) const;
    std::string wireBody() const;

    int status_;
    std::string reason_;
    std::optional<std::string> statusLine_;
    Headers headers_;
    std::string body_;
    std::uint64_t sourceLength_ = 0;
    BodySource source_;
    Framing framing_ = Framing::Length;
    std::size_t chunkSize_ = 0;
    std::optional<std::uint64_t> declaredLength_;
    std::vector<std::string> rawLines_;
    std::chrono::milliseconds delay_ { 0 };
    std::size_t trickleBytes_ = 0;
    std::chrono::milliseconds trickleEvery_ { 0 };
    std::shared_ptr<Gate> headGate_;
    std::shared_ptr<Gate> bodyGate_;
    std::optional<std::size_t> cutAfter_;
    bool cutWithReset_ = false;
    bool close_ = false;
    bool hold_ = false;
    std::optional<Script> raw_;
};

} // namespace httpserver
