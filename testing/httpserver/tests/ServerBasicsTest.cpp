// The server's plumbing: routing, recording, pipelining on a kept connection, 100-continue, refusals
// of bad requests, and a clean stop. A thousand faulty exchanges leaving nothing behind are in
// the platform's connection tests, which share this process's descriptors and threads.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "testing/httpserver/Handlers.h"
#include "testing/httpserver/TestServer.h"
#include "testing/httpserver/tests/Support.h"

using namespace httpserver;
using namespace httpserver::test;

TEST(TestServer, RoutesExactBeforeLongestPrefixBeforeDefault)
{
    TestServer server;
    server.on("/a/b", Reply::text("exact"));
    server.onPrefix("/a/", Reply::text("short prefix"));
    server.onPrefix("/a/b/", Reply::text("long prefix"));

    EXPECT_EQ(curlFetch(server.url("/a/b")).body, "exact");
    EXPECT_EQ(curlFetch(server.url("/a/b/c")).body, "long prefix");
    EXPECT_EQ(curlFetch(server.url("/a/x?q=/a/b")).body, "short prefix");
    EXPECT_EQ(curlFetch(server.url("/elsewhere")).status, 404);

    server.setDefault([](const Request& r) { return Reply::text("default for " + r.path); });
    EXPECT_EQ(curlFetch(server.url("/elsewhere")).body, "default for /elsewhere");
    server.clearRoutes();
    EXPECT_EQ(curlFetch(server.url("/a/b")).status, 404);
}

TEST(TestServer, RecordsEveryRequestWithCaseInsensitiveHeaders)
{
    TestServer server;
    server.on("/form", Reply(204));
    auto r = curlFetchWithHeaders(server.url("/form?x=1&y=%20"), { "X-Custom-Thing: Value One" },
        [&](CURL* c) { curl_easy_setopt(c, CURLOPT_POSTFIELDS, "a=b&c=d"); });
    EXPECT_EQ(r.status, 204);
    ASSERT_EQ(server.requestCount(), 1u);
    Request req = *server.lastRequest();
    EXPECT_EQ(req.target, "/form?x=1&y=%20");
    EXPECT_EQ(req.path, "/form");
    EXPECT_EQ(req.query, "x=1&y=%20");
    EXPECT_EQ(req.headers.value("x-custom-thing"), "Value One");
    EXPECT_EQ(req.body, "a=b&c=d");
    EXPECT_FALSE(req.tls);
    EXPECT_TRUE(req.head.starts_with("POST /form?x=1&y=%20 HTTP/1.1\r\n"));
    EXPECT_TRUE(req.head.ends_with("\r\n\r\n"));
}

// Requests sent one after another on a kept connection are what every client test does.
TEST(TestServer, AnswersPipelinedRequestsInOrderOnOneConnectionUntilClose)
{
    TestServer server;
    server.on("/one", Reply::text("first body"));
    server.on("/two", Reply::text("second").delay(std::chrono::milliseconds(20)));
    server.on("/three", Reply::text("third"));
    RawClient raw(server.port());
    raw.send("HEAD /one HTTP/1.1\r\nHost: x\r\n\r\n"
             "GET /one HTTP/1.1\r\nHost: x\r\n\r\n"
             "POST /two HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc"
             "GET /three HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    std::string all = raw.readAll();
    auto first = all.find("first");
    auto second = all.find("second");
    auto third = all.find("third");
    ASSERT_NE(third, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_EQ(countOf(all, "HTTP/1.1 200 OK"), 4u);
    // The head of a HEAD answer has the length of the body it leaves out.
    EXPECT_EQ(countOf(all, "Content-Length: 10\r\n"), 2u);
    EXPECT_EQ(countOf(all, "first"), 1u);
    EXPECT_NE(all.find("Connection: close\r\n"), std::string::npos);
    EXPECT_TRUE(server.waitForOpenConnections(0));
    EXPECT_EQ(server.connectionsAccepted(), 1u);
    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 4u);
    EXPECT_EQ(reqs[2].body, "abc");
    EXPECT_EQ(reqs[0].connectionId, reqs[3].connectionId);
    EXPECT_EQ(reqs[3].indexOnConnection, 3u);
    EXPECT_EQ(reqs[3].index, 3u);
}

// A chunked upload through libcurl is in the platform's connection tests.
TEST(TestServer, AnswersExpectContinueAndSkipsChunkExtensionsAndTrailers)
{
    TestServer server;
    server.on("/up", echo());
    RawClient raw(server.port());
    raw.send("POST /up HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\nTransfer-Encoding: chunked\r\n\r\n");
    std::string interim = raw.readUntil([](const std::string& s) { return s.find("\r\n\r\n") != std::string::npos; });
    EXPECT_EQ(interim, "HTTP/1.1 100 Continue\r\n\r\n");
    raw.send("5;name=value\r\nhello\r\n1\r\n!\r\n0\r\nTrailer-Field: x\r\n\r\n");
    std::string reply = raw.readUntil([](const std::string& s) { return s.ends_with("hello!"); });
    EXPECT_TRUE(reply.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(server.lastRequest()->chunked);
    EXPECT_EQ(server.lastRequest()->body, "hello!");
}

TEST(TestServer, RefusesMalformedAndOversizedRequests)
{
    ServerOptions options;
    options.maxHeadBytes = 1024;
    options.maxBodyBytes = 100;
    TestServer server(options);
    server.on("/x", Reply::text("x"));
    struct Case {
        std::string bytes;
        std::string status;
    };
    std::vector<Case> cases {
        { "GARBAGE\r\n\r\n", "400" },
        { "GET /x HTTP/2.0\r\n\r\n", "400" },
        { "GET /x HTTP/1.1\r\nNo colon here\r\n\r\n", "400" },
        { "GET /x HTTP/1.1\r\nHost: x\r\n folded\r\n\r\n", "400" },
        { "GET /x HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", "400" },
        { "GET /x HTTP/1.1\r\nContent-Length: -1\r\n\r\n", "400" },
        { "POST /x HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", "400" },
        { "POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", "400" },
        { "POST /x HTTP/1.1\r\nContent-Length: 101\r\n\r\n", "413" },
        { "POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n65\r\n", "400" },
        { "GET /x HTTP/1.1\r\nX-Big: " + std::string(2000, 'a') + "\r\n\r\n", "431" },
    };
    for (const auto& c : cases) {
        RawClient raw(server.port());
        raw.send(c.bytes);
        std::string reply = raw.readAll();
        EXPECT_TRUE(reply.starts_with("HTTP/1.1 " + c.status + " ")) << c.bytes << " -> " << reply;
    }
    EXPECT_EQ(server.badRequests(), cases.size());
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST(TestServer, HandlerExceptionsBecome500)
{
    TestServer server;
    server.on("/throw", [](const Request&) -> Reply { throw std::runtime_error("boom"); });
    auto r = curlFetch(server.url("/throw"));
    EXPECT_EQ(r.status, 500);
    EXPECT_NE(r.body.find("boom"), std::string::npos);
}

TEST(TestServer, ServesManyConnectionsAtOnceAndWaitsForThem)
{
    TestServer server;
    auto gate = std::make_shared<Gate>();
    server.on("/gated", Reply::text("released").waitBeforeHead(gate));
    EXPECT_FALSE(server.waitForRequests(1, std::chrono::milliseconds(20)));
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back(std::make_unique<RawClient>(server.port()));
        clients.back()->send("GET /gated HTTP/1.1\r\nConnection: close\r\n\r\n");
    }
    ASSERT_TRUE(server.waitForRequests(20));
    EXPECT_EQ(server.openConnections(), 20u);
    EXPECT_EQ(server.connectionsAccepted(), 20u);
    gate->open();
    for (auto& c : clients)
        EXPECT_TRUE(c->readAll().ends_with("released"));
    EXPECT_TRUE(server.waitForOpenConnections(0));
}

TEST(TestServer, ListensOnIPv6LoopbackWhenAsked)
{
    ServerOptions options;
    options.ipv6 = true;
    TestServer server(options);
    server.on("/six", Reply::text("six"));
    auto r = curlFetch(server.urlWithHost("[::1]", "/six"));
    if (r.code == CURLE_COULDNT_CONNECT)
        GTEST_SKIP() << "no IPv6 loopback here";
    EXPECT_EQ(r.body, "six");
    EXPECT_EQ(curlFetch(server.url("six")).body, "six");
}

TEST(TestServer, StopLeavesNoDescriptorOrThread)
{
    std::size_t fdsBefore = openDescriptors();
    std::size_t threadsBefore = liveThreads();
    {
        TestServer server(TestServer::https(TestCertificates::shared().localhost()));
        TestServer plain;
        plain.on("/hold", Reply::noAnswer());
        plain.on("/slow", Reply::text("late").delay(std::chrono::seconds(30)));
        plain.on("/trickle", Reply::text(std::string(1000, 't')).trickle(1, std::chrono::seconds(1)));
        auto gate = std::make_shared<Gate>();
        plain.on("/gate", Reply::text("never").waitBeforeBody(gate));
        std::vector<std::unique_ptr<RawClient>> clients;
        for (const char* path : { "/hold", "/slow", "/trickle", "/gate" }) {
            clients.push_back(std::make_unique<RawClient>(plain.port()));
            clients.back()->send(std::string("GET ") + path + " HTTP/1.1\r\n\r\n");
        }
        clients.push_back(std::make_unique<RawClient>(plain.port())); // silent
        clients.push_back(std::make_unique<RawClient>(server.port())); // TLS handshake never starts
        ASSERT_TRUE(plain.waitForRequests(4));
        ASSERT_TRUE(plain.waitForOpenConnections(5));
        ASSERT_TRUE(server.waitForOpenConnections(1));
        plain.stop();
        server.stop();
        EXPECT_EQ(plain.openConnections(), 0u);
        for (auto& c : clients) {
            bool ended = false;
            c->readSome(ended);
            c->readAll();
        }
    }
    EXPECT_EQ(openDescriptors(), fdsBefore);
    EXPECT_EQ(liveThreads(), threadsBefore);
}
