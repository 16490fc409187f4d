// One connection's life: read requests (pipelined ones included) and run each reply's script.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "testing/httpserver/RequestParser.h"
#include "testing/httpserver/ServerState.h"
#include "testing/httpserver/Transport.h"

namespace httpserver {

namespace {

constexpr std::chrono::milliseconds kLinger { 1000 };

bool readMore(Transport& transport, std::string& buffer, std::size_t max = 16384)
{
    char chunk[16384];
    long n = transport.read(chunk, std::min(max, sizeof chunk));
    if (n <= 0)
        return false;
    buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
}

void refuse(ServerState& state, Transport& transport, int status)
{
    state.countBadRequest();
    transport.write("HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status)
        + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    transport.finish(false, kLinger);
}

bool sendPaced(ServerState& state, Transport& transport, const Script::Step& step)
{
    if (step.chunk == 0)
        return transport.write(step.bytes);
    std::string_view rest = step.bytes;
    while (!rest.empty()) {
        std::string_view piece = rest.substr(0, step.chunk);
        if (!transport.write(piece))
            return false;
        rest.remove_prefix(piece.size());
        if (!rest.empty() && !state.sleepFor(step.interval))
            return false;
    }
    return true;
}

bool sendStream(ServerState& state, Transport& transport, const Script::Step& step)
{
    std::size_t pieceSize = step.chunk == 0 ? 65536 : step.chunk;
    std::uint64_t offset = 0;
    char size[32];
    while (offset < step.length) {
        auto want = static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize, step.length - offset));
        std::string piece = step.source(offset, want);
        if (piece.empty())
            return false;
        piece.resize(std::min(piece.size(), want));
        std::size_t produced = piece.size();
        if (step.chunked) {
            std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
            piece = size + piece + "\r\n";
        }
        if (!transport.write(piece))
            return false;
        offset += produced;
        if (offset < step.length && step.interval.count() > 0 && !state.sleepFor(step.interval))
            return false;
    }
    return !step.chunked || !step.lastChunk || transport.write("0\r\n\r\n");
}

// Runs a script; false when the connection has ended.
bool runScript(ServerState& state, Transport& transport, const Script& script)
{
    char scratch[4096];
    for (const auto& step : script.steps()) {
        switch (step.kind) {
        case Script::Step::Kind::Send:
            if (!sendPaced(state, transport, step))
                return false;
            break;
        case Script::Step::Kind::Stream:
            if (!sendStream(state, transport, step))
                return false;
            break;
        case Script::Step::Kind::Pause:
            if (!state.sleepFor(step.interval))
                return false;
            break;
        case Script::Step::Kind::Wait:
            if (!state.waitGate(*step.gate))
                return false;
            break;
        case Script::Step::Kind::Close:
            transport.finish(false, kLinger);
            return false;
        case Script::Step::Kind::Drop:
            transport.finish(true, kLinger);
            return false;
        case Script::Step::Kind::Reset:
            transport.armReset();
            return false;
        case Script::Step::Kind::Hold:
            while (transport.read(scratch, sizeof scratch) > 0) { }
            return false;
        }
    }
    return true;
}

bool expectsContinue(const Request& request)
{
    return request.version == "HTTP/1.1" && equalsIgnoringCase(request.headers.value("Expect"), "100-continue");
}

// Reads more of a body, slowly when the server plays a slow reader.
bool readBodyBytes(ServerState& state, Transport& transport, std::string& buffer)
{
    const ServerOptions& options = state.options();
    if (options.uploadReadBytes == 0)
        return readMore(transport, buffer);
    return state.sleepFor(options.uploadReadEvery) && readMore(transport, buffer, options.uploadReadBytes);
}

// Reads the body into request.body; the status to refuse with, or 0 when done, or -1 when
// the peer went away.
int readBody(ServerState& state, Transport& transport, std::string& buffer, Request& request)
{
    const ServerOptions& options = state.options();
    BodyFraming framing = bodyFramingOf(request);
    if (framing.kind == BodyFraming::Kind::Invalid)
        return 400;
    if (framing.kind == BodyFraming::Kind::None)
        return 0;
    if (framing.kind == BodyFraming::Kind::Length && framing.length > options.maxBodyBytes)
        return 413;
    bool hasBody = framing.kind == BodyFraming::Kind::Chunked || framing.length > 0;
    if (hasBody && options.answerContinue && expectsContinue(request) && buffer.empty()) {
        if (!transport.write("HTTP/1.1 100 Continue\r\n\r\n"))
            return -1;
    }
    if (framing.kind == BodyFraming::Kind::Length) {
        auto length = static_cast<std::size_t>(framing.length);
        while (buffer.size() < length) {
            if (!readBodyBytes(state, transport, buffer))
                return -1;
        }
        request.body = buffer.substr(0, length);
        buffer.erase(0, length);
        return 0;
    }
    ChunkedDecoder decoder(options.maxBodyBytes);
    while (true) {
        buffer.erase(0, decoder.feed(buffer));
        if (decoder.done())
            break;
        if (decoder.failed())
            return 400;
        if (!readBodyBytes(state, transport, buffer))
            return -1;
    }
    request.body = std::move(decoder.body());
    request.chunked = true;
    return 0;
}

Reply answer(ServerState& state, const Request& request)
{
    Handler handler = state.routes().find(request.path);
    try {
        return handler(request);
    } catch (const std::exception& e) {
        return Reply::text(std::string("handler threw: ") + e.what() + "\n", 500).closeConnection();
    }
}

} // namespace

void serveConnection(ServerState& state, Transport& transport, std::uint64_t connectionId)
{
    std::string buffer;
    std::size_t onConnection = 0;
    while (true) {
        HeadResult head = parseRequestHead(buffer, state.options().maxHeadBytes);
        while (head.status == HeadResult::Status::Incomplete) {
            if (!readMore(transport, buffer))
                return;
            head = parseRequestHead(buffer, state.options().maxHeadBytes);
        }
        if (head.status == HeadResult::Status::TooLarge)
            return refuse(state, transport, 431);
        if (head.status == HeadResult::Status::Malformed)
            return refuse(state, transport, 400);

        buffer.erase(0, head.consumed);
        Request request = std::move(head.request);
        int refusal = readBody(state, transport, buffer, request);
        if (refusal < 0)
            return;
        if (refusal > 0)
            return refuse(state, transport, refusal);

        request.tls = transport.isTls();
        request.connectionId = connectionId;
        request.indexOnConnection = onConnection++;
        state.record(request);

        Script script = answer(state, request).render(request);
        if (!runScript(state, transport, script))
            return;
    }
}

} // namespace httpserver
