// Scripted replies and byte-level faults, seen through libcurl and a raw socket.
#include <gtest/gtest.h>

#include <memory>

#include "testing/httpserver/TestServer.h"
#include "testing/httpserver/tests/Support.h"

using namespace httpserver;
using namespace httpserver::test;
using std::chrono::milliseconds;

TEST(ScriptedReply, StatusReasonHeadersAndBody)
{
    TestServer server;
    server.on("/teapot",
        Reply(418, "short and stout")
            .reason("I'm a teapot")
            .header("X-One", "1")
            .header("X-One", "2")
            .contentType("text/x-tea"));
    RawClient raw(server.port());
    raw.send("GET /teapot HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(raw.readAll(),
        "HTTP/1.1 418 I'm a teapot\r\nX-One: 1\r\nX-One: 2\r\nContent-Type: text/x-tea\r\n"
        "Content-Length: 15\r\nConnection: close\r\n\r\nshort and stout");

    // 204 and 304 carry neither a body nor a length.
    server.on("/empty", Reply(204, "ignored"));
    RawClient raw2(server.port());
    raw2.send("GET /empty HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(raw2.readAll(), "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
}

// Large chunked bodies through a client are in the platform's session tests; close-delimited
// ones are in the TLS tests.
TEST(ScriptedReply, ChunkedBodiesAreFramedExactly)
{
    TestServer server;
    server.on("/chunks", Reply::text("abcde").chunked(3));
    server.on("/one-chunk", Reply::text("abc").chunked());
    const std::pair<const char*, const char*> cases[] = { { "/chunks", "3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n" },
        { "/one-chunk", "3\r\nabc\r\n0\r\n\r\n" } };
    for (auto [path, framed] : cases) {
        RawClient raw(server.port());
        raw.send(std::string("GET ") + path + " HTTP/1.1\r\nConnection: close\r\n\r\n");
        std::string all = raw.readAll();
        EXPECT_NE(all.find("\r\nTransfer-Encoding: chunked\r\n"), std::string::npos) << path;
        EXPECT_EQ(all.find("Content-Length"), std::string::npos) << path;
        EXPECT_TRUE(all.ends_with(std::string("\r\n\r\n") + framed)) << path << ": " << all;
    }
}

TEST(ScriptedReply, GatesHoldTheHeadOrTheBodyUntilOpened)
{
    TestServer server;
    auto gate = std::make_shared<Gate>();
    server.on("/gated", Reply::text("body after gate").waitBeforeBody(gate));
    RawClient raw(server.port());
    raw.send("GET /gated HTTP/1.1\r\nConnection: close\r\n\r\n");
    std::string head = raw.readUntil([](const std::string& s) { return s.ends_with("\r\n\r\n"); });
    EXPECT_TRUE(head.starts_with("HTTP/1.1 200 OK\r\n"));
    bool ended = false;
    EXPECT_EQ(raw.readSome(ended, milliseconds(50)), "");
    EXPECT_TRUE(ended); // nothing more yet
    gate->open();
    EXPECT_EQ(raw.readAll(), "body after gate");
}

TEST(ScriptedReply, TrickleSendsTheBodyInPieces)
{
    TestServer server;
    server.on("/trickle", Reply::text("0123456789").trickle(2, milliseconds(40)));
    auto r = curlFetch(server.url("/trickle"));
    EXPECT_EQ(r.body, "0123456789");
    EXPECT_GE(r.writeCalls, 3u); // the first piece may come with the head
}

// Cut bodies, resets and lengths the body does not keep, seen by a client, are in the
// platform's connection tests; these are the framings only checked here.
TEST(ScriptedReply, CutChunkedBodiesResetsAndShortLengths)
{
    TestServer server;
    server.on("/cut-chunked", Reply::text(std::string(1000, 'x')).chunked(64).closeAfter(150));
    server.on("/reset", Reply::text(std::string(1000, 'x')).resetAfter(100));
    server.on("/shorter", Reply::text("0123456789").contentLength(4));
    EXPECT_NE(curlFetch(server.url("/cut-chunked")).code, CURLE_OK);
    RawClient raw(server.port());
    raw.send("GET /reset HTTP/1.1\r\n\r\n");
    raw.readAll();
    EXPECT_EQ(raw.lastError(), ECONNRESET);

    // The client reads four bytes; the other six are what it meets next on the connection.
    RawClient shorter(server.port());
    shorter.send("GET /shorter HTTP/1.1\r\nConnection: close\r\n\r\n");
    std::string all = shorter.readAll();
    EXPECT_NE(all.find("Content-Length: 4\r\n"), std::string::npos);
    EXPECT_TRUE(all.ends_with("\r\n\r\n0123456789"));
}

// Garbage and huge heads, refused by a client, are in the platform's connection tests.
TEST(ScriptedReply, StatusLinesAndHeaderLinesAsScripted)
{
    TestServer server;
    server.on("/bad-status", Reply::text("x").statusLine("HTTP/1.1 abc Broken"));
    server.on("/bad-line", Reply::text("x").rawHeaderLine("\x01\x02 no colon"));
    EXPECT_NE(curlFetch(server.url("/bad-status")).code, CURLE_OK);
    RawClient raw(server.port());
    raw.send("GET /bad-line HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_NE(raw.readAll().find("\r\n\x01\x02 no colon\r\n\r\nx"), std::string::npos);
}

TEST(ScriptedReply, DelayAndNoAnswerHoldUntilTheClientGivesUp)
{
    TestServer server;
    server.on("/late", Reply::text("late").delay(std::chrono::seconds(5)));
    server.on("/silent", Reply::noAnswer());
    for (const char* path : { "/late", "/silent" }) {
        auto r = curlFetch(server.url(path), [](CURL* c) { curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, 100L); });
        EXPECT_EQ(r.code, CURLE_OPERATION_TIMEDOUT) << path;
        EXPECT_EQ(server.requestCount(path), 1u);
        EXPECT_TRUE(server.waitForOpenConnections(0)); // the client's close ends the hold
    }
}

TEST(ScriptedReply, StreamedBodiesArriveWholeOrCutWhereAsked)
{
    TestServer server;
    const std::uint64_t size = 20u << 20;
    const std::string pattern = "0123456789abcdefghijklmnopqrstuvwxyz";
    server.on("/big", Reply().body(size, repeating(pattern)));
    server.on("/big-cut-chunked", Reply().body(size, repeating(pattern)).chunked(1000).closeAfter(5000));
    auto big = curlFetch(server.url("/big"));
    ASSERT_EQ(big.code, CURLE_OK);
    ASSERT_EQ(big.body.size(), size);
    for (std::size_t i = 0; i < big.body.size(); i += 4099)
        ASSERT_EQ(big.body[i], pattern[i % pattern.size()]) << i;
    auto cutChunked = curlFetch(server.url("/big-cut-chunked"));
    EXPECT_NE(cutChunked.code, CURLE_OK);
    EXPECT_EQ(cutChunked.body.size(), 5000u);
}

TEST(ScriptedReply, SlowReaderStillReceivesTheWholeUpload)
{
    ServerOptions options;
    options.uploadReadBytes = 4096;
    options.uploadReadEvery = milliseconds(1);
    options.keepRequests = false;
    TestServer server(options);
    server.on("/sink", [](const Request& r) {
        return Reply::text(std::to_string(r.body.size()) + ":" + r.body.substr(r.body.size() - 3));
    });
    std::string payload(40000, 'u');
    payload += "end";
    auto r = curlFetch(server.url("/sink"), [&](CURL* c) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, payload.c_str());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(payload.size()));
    });
    EXPECT_EQ(r.code, CURLE_OK);
    EXPECT_EQ(r.body, "40003:end");
    EXPECT_EQ(server.requestCount(), 1u); // counted, not kept
    EXPECT_TRUE(server.requests().empty());
}
