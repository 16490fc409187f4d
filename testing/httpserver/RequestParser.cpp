// Request head and chunked body parsing. Every limit is checked before memory is used.
#include "testing/httpserver/RequestParser.h"

#include <limits>
#include <vector>

namespace httpserver {

namespace {

constexpr std::size_t kMaxChunkLine = 4096;
constexpr std::size_t kMaxTrailerBytes = 16384;

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

HeadResult malformed(std::string why)
{
    HeadResult r;
    r.status = HeadResult::Status::Malformed;
    r.error = std::move(why);
    return r;
}

// Splits the head into lines (CRLF or bare LF). Returns false if the blank line is missing.
bool splitHead(std::string_view buffer, std::size_t start, std::vector<std::string_view>& lines, std::size_t& end)
{
    std::size_t pos = start;
    while (true) {
        std::size_t nl = buffer.find('\n', pos);
        if (nl == std::string_view::npos)
            return false;
        std::string_view line = buffer.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = nl + 1;
        if (line.empty()) {
            end = pos;
            return true;
        }
        lines.push_back(line);
    }
}

bool parseRequestLine(std::string_view line, Request& r, std::string& error)
{
    std::size_t sp1 = line.find(' ');
    std::size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || line.find(' ', sp2 + 1) != std::string_view::npos) {
        error = "request line is not METHOD SP TARGET SP VERSION";
        return false;
    }
    std::string_view method = line.substr(0, sp1);
    std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string_view version = line.substr(sp2 + 1);
    if (!isToken(method)) {
        error = "bad method";
        return false;
    }
    if (target.empty()) {
        error = "empty target";
        return false;
    }
    for (char c : target) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) {
            error = "control character in target";
            return false;
        }
    }
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        error = "unsupported version";
        return false;
    }
    r.method = method;
    r.target = target;
    r.version = version;

    std::string_view rest = target;
    std::size_t scheme = rest.find("://");
    if (rest.front() != '/' && scheme != std::string_view::npos) {
        std::size_t slash = rest.find('/', scheme + 3);
        rest = slash == std::string_view::npos ? std::string_view("/") : rest.substr(slash);
    }
    std::size_t q = rest.find('?');
    r.path = rest.substr(0, q);
    if (q != std::string_view::npos)
        r.query = rest.substr(q + 1);
    return true;
}

} // namespace

bool Request::wantsKeepAlive() const
{
    std::string connection = headers.value("Connection");
    bool close = false;
    bool keep = false;
    std::size_t pos = 0;
    while (pos <= connection.size()) {
        std::size_t comma = connection.find(',', pos);
        if (comma == std::string::npos)
            comma = connection.size();
        std::string_view token = trim(std::string_view(connection).substr(pos, comma - pos));
        close = close || equalsIgnoringCase(token, "close");
        keep = keep || equalsIgnoringCase(token, "keep-alive");
        pos = comma + 1;
    }
    if (close)
        return false;
    return version == "HTTP/1.1" || keep;
}

HeadResult parseRequestHead(std::string_view buffer, std::size_t maxHeadBytes)
{
    std::size_t start = 0;
    while (start < buffer.size() && (buffer[start] == '\r' || buffer[start] == '\n') && start < 8)
        ++start;

    std::vector<std::string_view> lines;
    std::size_t end = 0;
    std::string_view window = buffer.substr(0, std::min(buffer.size(), maxHeadBytes + start));
    if (!splitHead(window, start, lines, end)) {
        HeadResult r;
        r.status = window.size() < buffer.size() || window.size() - start >= maxHeadBytes
            ? HeadResult::Status::TooLarge
            : HeadResult::Status::Incomplete;
        return r;
    }
    if (lines.empty())
        return malformed("empty request");

    HeadResult result;
    if (!parseRequestLine(lines[0], result.request, result.error))
        return malformed(result.error);

    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.front() == ' ' || line.front() == '\t')
            return malformed("folded header line");
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return malformed("header line without a colon");
        std::string_view name = line.substr(0, colon);
        if (!isToken(name))
            return malformed("bad header name");
        std::string_view value = trim(line.substr(colon + 1));
        for (char c : value) {
            if (c == '\r' || c == '\0')
                return malformed("control character in header value");
        }
        result.request.headers.add(std::string(name), std::string(value));
    }
    result.request.head = buffer.substr(start, end - start);
    result.consumed = end;
    result.status = HeadResult::Status::Complete;
    return result;
}

bool parseDecimal(std::string_view text, std::uint64_t& out)
{
    if (text.empty() || text.size() > 19)
        return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    out = v;
    return true;
}

BodyFraming bodyFramingOf(const Request& request)
{
    BodyFraming framing;
    std::vector<std::string> te = request.headers.getAll("Transfer-Encoding");
    if (!te.empty()) {
        std::string_view last = trim(te.back());
        std::size_t comma = last.rfind(',');
        if (comma != std::string_view::npos)
            last = trim(last.substr(comma + 1));
        if (!equalsIgnoringCase(last, "chunked")) {
            framing.kind = BodyFraming::Kind::Invalid;
            framing.error = "transfer coding other than chunked";
            return framing;
        }
        framing.kind = BodyFraming::Kind::Chunked;
        return framing;
    }
    std::vector<std::string> lengths = request.headers.getAll("Content-Length");
    if (lengths.empty())
        return framing;
    std::uint64_t first = 0;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        std::uint64_t v = 0;
        if (!parseDecimal(trim(lengths[i]), v) || (i > 0 && v != first)) {
            framing.kind = BodyFraming::Kind::Invalid;
            framing.error = "bad Content-Length";
            return framing;
        }
        first = v;
    }
    framing.kind = BodyFraming::Kind::Length;
    framing.length = first;
    return framing;
}

ChunkedDecoder::ChunkedDecoder(std::uint64_t maxBodyBytes)
    : maxBodyBytes_(maxBodyBytes)
{
}

bool ChunkedDecoder::fail(std::string why)
{
    state_ = State::Failed;
    error_ = std::move(why);
    return false;
}

std::size_t ChunkedDecoder::feed(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size() && state_ != State::Done && state_ != State::Failed) {
        if (state_ == State::Data) {
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunkRemaining_, bytes.size() - i));
            body_.append(bytes.data() + i, n);
            i += n;
            chunkRemaining_ -= n;
            if (chunkRemaining_ == 0)
                state_ = State::DataCR;
            continue;
        }
        if (!step(bytes[i]))
            return i;
        ++i;
    }
    return i;
}

bool ChunkedDecoder::step(char c)
{
    switch (state_) {
    case State::Size: {
        int h = hexValue(c);
        if (h >= 0) {
            if (++sizeDigits_ > 15)
                return fail("chunk size too long");
            chunkRemaining_ = chunkRemaining_ * 16 + static_cast<std::uint64_t>(h);
            return true;
        }
        if (sizeDigits_ == 0)
            return fail("chunk size missing");
        if (chunkRemaining_ > maxBodyBytes_ - body_.size())
            return fail("body too large");
        lineBytes_ = 0;
        if (c == ';' || c == ' ' || c == '\t') {
            state_ = State::Extension;
            return true;
        }
        if (c == '\r') {
            state_ = State::SizeLF;
            return true;
        }
        if (c == '\n') {
            state_ = State::SizeLF;
            return step('\n');
        }
        return fail("bad chunk size");
    }
    case State::Extension:
        if (++lineBytes_ > kMaxChunkLine)
            return fail("chunk extension too long");
        if (c == '\r')
            state_ = State::SizeLF;
        else if (c == '\n') {
            state_ = State::SizeLF;
            return step('\n');
        }
        return true;
    case State::SizeLF:
        if (c != '\n')
            return fail("chunk size line not ended by LF");
        sizeDigits_ = 0;
        lineBytes_ = 0;
        state_ = chunkRemaining_ == 0 ? State::TrailerStart : State::Data;
        return true;
    case State::DataCR:
        if (c == '\n')
            break;
        if (c != '\r')
            return fail("chunk data not followed by CRLF");
        state_ = State::DataLF;
        return true;
    case State::DataLF:
        if (c != '\n')
            return fail("chunk data not followed by CRLF");
        break;
    case State::TrailerStart:
        if (c == '\r') {
            state_ = State::FinalLF;
            return true;
        }
        if (c == '\n') {
            state_ = State::Done;
            return true;
        }
        state_ = State::TrailerLine;
        return step(c);
    case State::TrailerLine:
        if (++lineBytes_ > kMaxTrailerBytes)
            return fail("trailer too large");
        if (c == '\r')
            state_ = State::TrailerLF;
        else if (c == '\n')
            state_ = State::TrailerStart;
        return true;
    case State::TrailerLF:
        if (c != '\n')
            return fail("trailer line not ended by LF");
        state_ = State::TrailerStart;
        return true;
    case State::FinalLF:
        if (c != '\n')
            return fail("chunked body not ended by CRLF");
        state_ = State::Done;
        return true;
    default:
        return false;
    }
    // End of a chunk's data: the next size line follows.
    state_ = State::Size;
    chunkRemaining_ = 0;
    sizeDigits_ = 0;
    return true;
}

} // namespace httpserver
