// Rendering of structured replies into scripts.
#include "testing/httpserver/Reply.h"

#include <algorithm>
#include <cstdio>

namespace httpserver {

std::string reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 202:
        return "Accepted";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 412:
        return "Precondition Failed";
    case 413:
        return "Content Too Large";
    case 416:
        return "Range Not Satisfiable";
    case 417:
        return "Expectation Failed";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "";
    }
}

Reply::Reply(int status, std::string body)
    : status_(status)
    , body_(std::move(body))
{
}

Reply Reply::text(std::string body, int status)
{
    Reply r(status, std::move(body));
    r.contentType("text/plain; charset=utf-8");
    return r;
}

Reply Reply::json(std::string body, int status)
{
    Reply r(status, std::move(body));
    r.contentType("application/json");
    return r;
}

Reply Reply::redirect(int status, std::string location)
{
    Reply r(status);
    r.header("Location", std::move(location));
    return r;
}

Reply Reply::raw(Script script)
{
    Reply r;
    r.raw_ = std::move(script);
    return r;
}

Reply Reply::noAnswer()
{
    Reply r;
    r.hold_ = true;
    return r;
}

Reply& Reply::status(int code)
{
    status_ = code;
    return *this;
}

Reply& Reply::reason(std::string phrase)
{
    reason_ = std::move(phrase);
    return *this;
}

Reply& Reply::statusLine(std::string line)
{
    statusLine_ = std::move(line);
    return *this;
}

Reply& Reply::header(std::string name, std::string value)
{
    headers_.add(std::move(name), std::move(value));
    return *this;
}

Reply& Reply::contentType(std::string type)
{
    headers_.set("Content-Type", std::move(type));
    return *this;
}

Reply& Reply::body(std::string bytes)
{
    body_ = std::move(bytes);
    return *this;
}

Reply& Reply::body(std::uint64_t length, BodySource source)
{
    body_.clear();
    sourceLength_ = length;
    source_ = std::move(source);
    return *this;
}

Reply& Reply::chunked(std::size_t chunkSize)
{
    framing_ = Framing::Chunked;
    chunkSize_ = chunkSize;
    return *this;
}

Reply& Reply::closeDelimited()
{
    framing_ = Framing::Close;
    return *this;
}

Reply& Reply::contentLength(std::uint64_t declared)
{
    declaredLength_ = declared;
    return *this;
}

Reply& Reply::rawHeaderLine(std::string line)
{
    rawLines_.push_back(std::move(line));
    return *this;
}

Reply& Reply::delay(std::chrono::milliseconds before)
{
    delay_ = before;
    return *this;
}

Reply& Reply::trickle(std::size_t bytes, std::chrono::milliseconds every)
{
    trickleBytes_ = std::max<std::size_t>(bytes, 1);
    trickleEvery_ = every;
    return *this;
}

Reply& Reply::waitBeforeHead(std::shared_ptr<Gate> gate)
{
    headGate_ = std::move(gate);
    return *this;
}

Reply& Reply::waitBeforeBody(std::shared_ptr<Gate> gate)
{
    bodyGate_ = std::move(gate);
    return *this;
}

Reply& Reply::closeAfter(std::size_t bodyBytes)
{
    cutAfter_ = bodyBytes;
    cutWithReset_ = false;
    return *this;
}

Reply& Reply::resetAfter(std::size_t bodyBytes)
{
    cutAfter_ = bodyBytes;
    cutWithReset_ = true;
    return *this;
}

Reply& Reply::closeConnection()
{
    close_ = true;
    return *this;
}

std::string Reply::head(bool closing) const
{
    std::string out;
    if (statusLine_) {
        out = *statusLine_;
    } else {
        out = "HTTP/1.1 " + std::to_string(status_) + " " + (reason_.empty() ? reasonPhrase(status_) : reason_);
    }
    out += "\r\n";
    for (const auto& [name, value] : headers_.fields())
        out += name + ": " + value + "\r\n";

    bool bodyless = status_ == 204 || status_ == 304 || (status_ >= 100 && status_ < 200);
    if (declaredLength_) {
        out += "Content-Length: " + std::to_string(*declaredLength_) + "\r\n";
    } else if (framing_ == Framing::Chunked && !bodyless) {
        if (!headers_.has("Transfer-Encoding"))
            out += "Transfer-Encoding: chunked\r\n";
    } else if (framing_ == Framing::Length && !bodyless && !headers_.has("Content-Length")) {
        out += "Content-Length: " + std::to_string(source_ ? sourceLength_ : body_.size()) + "\r\n";
    }
    if (closing && !headers_.has("Connection"))
        out += "Connection: close\r\n";
    for (const auto& line : rawLines_)
        out += line + "\r\n";
    out += "\r\n";
    return out;
}

std::string Reply::wireBody() const
{
    if (framing_ != Framing::Chunked)
        return body_;
    std::string out;
    std::size_t step = chunkSize_ == 0 ? std::max<std::size_t>(body_.size(), 1) : chunkSize_;
    char size[32];
    for (std::size_t pos = 0; pos < body_.size(); pos += step) {
        std::size_t n = std::min(step, body_.size() - pos);
        std::snprintf(size, sizeof size, "%zx\r\n", n);
        out += size;
        out.append(body_, pos, n);
        out += "\r\n";
    }
    out += "0\r\n\r\n";
    return out;
}

Script Reply::render(const Request& request) const
{
    if (raw_)
        return *raw_;
    Script script;
    if (hold_)
        return script.hold();

    bool bodyless = status_ == 204 || status_ == 304 || (status_ >= 100 && status_ < 200);
    bool sendBody = !bodyless && !request.isHead();
    bool closing = close_ || framing_ == Framing::Close || !request.wantsKeepAlive();

    if (delay_.count() > 0)
        script.pause(delay_);
    if (headGate_)
        script.wait(headGate_);
    script.send(head(closing));
    if (bodyGate_)
        script.wait(bodyGate_);

    if (source_ && sendBody) {
        std::uint64_t length = cutAfter_ ? std::min<std::uint64_t>(*cutAfter_, sourceLength_) : sourceLength_;
        script.stream(length, source_, framing_ == Framing::Chunked, trickleBytes_ ? trickleBytes_ : chunkSize_,
            trickleEvery_, !cutAfter_);
        if (cutAfter_)
            return cutWithReset_ ? script.reset() : script.drop();
        return closing ? script.close() : script;
    }
    std::string wire = sendBody ? wireBody() : std::string();
    if (cutAfter_ && *cutAfter_ < wire.size())
        wire.resize(*cutAfter_);
    script.trickle(std::move(wire), trickleBytes_, trickleEvery_);

    if (cutAfter_)
        return cutWithReset_ ? script.reset() : script.drop();
    if (closing)
        script.close();
    return script;
}

} // namespace httpserver
