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

TEST(ScriptedReply, ChunkedAndCloseDelimitedBodiesArriveWhole)
{
    TestServer server;
    std::string body;
    for (int i = 0; i < 1000; ++i)
        body += std::to_string(i) + ",";
    server.on("/chunked", Reply::text(body).chunked(100));
    server.on("/one-chunk", Reply::text("abc").chunked());
    auto r = curlFetch(server.url("/chunked"));
    ASSERT_EQ(r.code, CURLE_OK);
    EXPECT_EQ(r.body, body);
    EXPECT_EQ(r.headers.value("Transfer-Encoding"), "chunked");
    EXPECT_FALSE(r.headers.has("Content-Length"));

    RawClient raw(server.port());
    raw.send("GET /one-chunk HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_TRUE(raw.readAll().ends_with("\r\n\r\n3\r\nabc\r\n0\r\n\r\n"));

    server.on("/eof", Reply::text("until the end").closeDelimited());
    auto eof = curlFetch(server.url("/eof"));
    EXPECT_EQ(eof.code, CURLE_OK);
    EXPECT_EQ(eof.body, "until the end");
    EXPECT_FALSE(eof.headers.has("Content-Length"));
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
    std::string body = "0123456789";
    server.on("/trickle", Reply::text(body).trickle(2, milliseconds(40)));
    RawClient raw(server.port());
    raw.send("GET /trickle HTTP/1.1\r\nConnection: close\r\n\r\n");
    std::string all;
    int reads = 0;
    bool ended = false;
    while (!ended) {
        std::string piece = raw.readSome(ended);
        reads += piece.empty() ? 0 : 1;
        all += piece;
    }
    EXPECT_TRUE(all.ends_with("\r\n\r\n" + body));
    EXPECT_GE(reads, 3); // head with the first piece, then at least some of the other four
    auto r = curlFetch(server.url("/trickle"));
    EXPECT_EQ(r.body, body);
    EXPECT_GE(r.writeCalls, 2u);
}

TEST(ScriptedReply, CloseMidBodyAndLyingContentLength)
{
    TestServer server;
    server.on("/cut", Reply::text(std::string(1000, 'x')).closeAfter(100));
    server.on("/cut-chunked", Reply::text(std::string(1000, 'x')).chunked(64).closeAfter(150));
    server.on("/reset", Reply::text(std::string(1000, 'x')).resetAfter(100));

    auto cut = curlFetch(server.url("/cut"));
    EXPECT_EQ(cut.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(cut.body.size(), 100u);
    EXPECT_NE(curlFetch(server.url("/cut-chunked")).code, CURLE_OK);

    auto reset = curlFetch(server.url("/reset"));
    EXPECT_NE(reset.code, CURLE_OK);
    RawClient raw(server.port());
    raw.send("GET /reset HTTP/1.1\r\n\r\n");
    raw.readAll();
    EXPECT_EQ(raw.lastError(), ECONNRESET);

    // A declared length the body does not keep.
    server.on("/longer", Reply::text("only this").contentLength(1000).closeConnection());
    server.on("/longer-open", Reply::text("only this").contentLength(1000));
    server.on("/shorter", Reply::text("0123456789").contentLength(4));

    EXPECT_EQ(curlFetch(server.url("/longer")).code, CURLE_PARTIAL_FILE);
    auto open = curlFetch(server.url("/longer-open"), [](CURL* c) { curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, 200L); });
    EXPECT_EQ(open.code, CURLE_OPERATION_TIMEDOUT);

    // The client reads four bytes; the other six are what it meets next on the connection.
    RawClient shorter(server.port());
    shorter.send("GET /shorter HTTP/1.1\r\nConnection: close\r\n\r\n");
    std::string all = shorter.readAll();
    EXPECT_NE(all.find("Content-Length: 4\r\n"), std::string::npos);
    EXPECT_TRUE(all.ends_with("\r\n\r\n0123456789"));
}

TEST(ScriptedReply, MalformedAndHugeHeadsAreRefusedByTheClient)
{
    TestServer server;
    server.on("/bad-status", Reply::text("x").statusLine("HTTP/1.1 abc Broken"));
    server.on("/garbage", Reply::text("x").statusLine("SPDY garbage"));
    server.on("/bad-line", Reply::text("x").rawHeaderLine("\x01\x02 no colon"));
    server.on("/huge", Reply::text("x").rawHeaderLine("X-Huge: " + std::string(300 * 1024, 'h')));

    EXPECT_NE(curlFetch(server.url("/bad-status")).code, CURLE_OK);
    EXPECT_NE(curlFetch(server.url("/garbage")).code, CURLE_OK);
    EXPECT_NE(curlFetch(server.url("/huge")).code, CURLE_OK);

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

TEST(ScriptedReply, HandlersSeeTheRequestAndMayReturnRawBytes)
{
    TestServer server;
    server.on("/raw", [](const Request& r) {
        return Reply::raw(Script()
                              .send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n")
                              .pause(milliseconds(5))
                              .send(r.query.substr(0, 4))
                              .close());
    });
    auto r = curlFetch(server.url("/raw?abcdef"));
    EXPECT_EQ(r.code, CURLE_OK);
    EXPECT_EQ(r.body, "abcd");
}

TEST(ScriptedReply, StreamedBodiesAreNeverHeldWhole)
{
    TestServer server;
    const std::uint64_t size = 20u << 20;
    const std::string pattern = "0123456789abcdefghijklmnopqrstuvwxyz";
    server.on("/big", Reply().body(size, repeating(pattern)));
    server.on("/big-chunked", Reply().body(100000, repeating(pattern)).chunked(30000));
    server.on("/big-cut", Reply().body(size, repeating(pattern)).closeAfter(70000));
    server.on("/big-cut-chunked", Reply().body(size, repeating(pattern)).chunked(1000).closeAfter(5000));

    auto matches = [&](const std::string& body) {
        for (std::size_t i = 0; i < body.size(); i += 4099) {
            if (body[i] != pattern[i % pattern.size()])
                return false;
        }
        return true;
    };
    auto big = curlFetch(server.url("/big"));
    ASSERT_EQ(big.code, CURLE_OK);
    EXPECT_EQ(big.body.size(), size);
    EXPECT_TRUE(matches(big.body));

    auto chunked = curlFetch(server.url("/big-chunked"));
    ASSERT_EQ(chunked.code, CURLE_OK);
    EXPECT_EQ(chunked.body.size(), 100000u);
    EXPECT_TRUE(matches(chunked.body));

    auto cut = curlFetch(server.url("/big-cut"));
    EXPECT_EQ(cut.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(cut.body.size(), 70000u);
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
