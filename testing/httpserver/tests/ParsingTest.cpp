// The parsers of untrusted bytes: request heads, chunked bodies, ranges, dates, auth values.
#include <gtest/gtest.h>

#include "testing/httpserver/Auth.h"
#include "testing/httpserver/HttpDate.h"
#include "testing/httpserver/RequestParser.h"
#include "testing/httpserver/Resource.h"

using namespace httpserver;
using Status = HeadResult::Status;

TEST(RequestHead, CompleteHeadsAndWhereTheyEnd)
{
    std::string two = "\r\nGET http://h:1/p/q?x=1 HTTP/1.0\nHost: h\r\nX-A:  spaced value \t\r\n\r\nNEXT";
    HeadResult r = parseRequestHead(two, 1024);
    ASSERT_EQ(r.status, Status::Complete);
    EXPECT_EQ(two.substr(r.consumed), "NEXT");
    EXPECT_EQ(r.request.method, "GET");
    EXPECT_EQ(r.request.path, "/p/q");
    EXPECT_EQ(r.request.query, "x=1");
    EXPECT_EQ(r.request.headers.value("x-a"), "spaced value");
    EXPECT_FALSE(r.request.wantsKeepAlive());
    EXPECT_TRUE(r.request.head.starts_with("GET "));

    r = parseRequestHead("GET / HTTP/1.1\r\nConnection: Upgrade, close\r\n\r\n", 1024);
    EXPECT_FALSE(r.request.wantsKeepAlive());
    r = parseRequestHead("GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", 1024);
    EXPECT_TRUE(r.request.wantsKeepAlive());
}

TEST(RequestHead, IncompleteTooLargeAndMalformed)
{
    std::string head = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    for (std::size_t cut = 0; cut < head.size(); ++cut)
        EXPECT_EQ(parseRequestHead(head.substr(0, cut), 1024).status, Status::Incomplete) << cut;
    EXPECT_EQ(parseRequestHead(head, head.size()).status, Status::Complete);
    EXPECT_EQ(parseRequestHead(head, head.size() - 1).status, Status::TooLarge);
    EXPECT_EQ(parseRequestHead(std::string(5000, 'a'), 1024).status, Status::TooLarge);

    for (const char* bad : { "GET  / HTTP/1.1\r\n\r\n", "GET / HTTP/1.1 extra\r\n\r\n", "G(T / HTTP/1.1\r\n\r\n",
             "GET / HTTP/1.1\r\n: empty name\r\n\r\n", "GET / HTTP/1.1\r\nBad Name: v\r\n\r\n",
             "GET /\x01 HTTP/1.1\r\n\r\n", "GET / http/1.1\r\n\r\n" })
        EXPECT_EQ(parseRequestHead(bad, 1024).status, Status::Malformed) << bad;
}

TEST(RequestHead, BodyFraming)
{
    auto framing = [](const std::string& headers) {
        return bodyFramingOf(parseRequestHead("POST / HTTP/1.1\r\n" + headers + "\r\n", 4096).request);
    };
    EXPECT_EQ(framing("").kind, BodyFraming::Kind::None);
    EXPECT_EQ(framing("Content-Length: 42\r\n").length, 42u);
    EXPECT_EQ(framing("Content-Length: 7\r\nContent-Length: 7\r\n").length, 7u);
    EXPECT_EQ(framing("Content-Length: 99999999999999999999\r\n").kind, BodyFraming::Kind::Invalid);
    EXPECT_EQ(framing("Content-Length: 1 2\r\n").kind, BodyFraming::Kind::Invalid);
    EXPECT_EQ(framing("Transfer-Encoding: gzip, chunked\r\nContent-Length: 3\r\n").kind, BodyFraming::Kind::Chunked);
    EXPECT_EQ(framing("Transfer-Encoding: chunked, gzip\r\n").kind, BodyFraming::Kind::Invalid);
}

TEST(ChunkedDecoder, ByteByByteEqualsAllAtOnce)
{
    std::string wire = "4\r\nWiki\r\n5;ext=\"1\"\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\nX-T: 1\r\n\r\nREST";
    ChunkedDecoder whole(1 << 20);
    EXPECT_EQ(wire.substr(whole.feed(wire)), "REST");
    ASSERT_TRUE(whole.done());
    EXPECT_EQ(whole.body(), "Wikipedia in\r\n\r\nchunks.");

    ChunkedDecoder bytewise(1 << 20);
    std::size_t used = 0;
    for (char c : wire)
        used += bytewise.feed(std::string_view(&c, 1));
    EXPECT_EQ(used, wire.size() - 4);
    EXPECT_EQ(bytewise.body(), whole.body());
}

TEST(ChunkedDecoder, RefusesBadFramingAndOversizedChunks)
{
    for (const char* bad : { "x\r\n", "\r\n", "3\r\nabcX", "3\r\nabc\rX", "1000000000000000\r\n", "0\r\n\rX" }) {
        ChunkedDecoder d(1 << 20);
        d.feed(bad);
        EXPECT_TRUE(d.failed()) << bad;
    }
    ChunkedDecoder small(10);
    small.feed("6\r\nabcdef\r\n");
    EXPECT_FALSE(small.failed());
    small.feed("5\r\n");
    EXPECT_TRUE(small.failed());
    ChunkedDecoder longLine(1 << 20);
    longLine.feed("1;" + std::string(10000, 'e'));
    EXPECT_TRUE(longLine.failed());
}

TEST(RangeHeader, EdgesOfTheRepresentation)
{
    auto r = parseRange("bytes=0-0", 1);
    EXPECT_EQ(r.kind, ByteRange::Kind::Satisfiable);
    EXPECT_EQ(r.last, 0u);
    EXPECT_EQ(parseRange("bytes=0-", 0).kind, ByteRange::Kind::Unsatisfiable);
    EXPECT_EQ(parseRange("bytes=-5", 0).kind, ByteRange::Kind::Unsatisfiable);
    EXPECT_EQ(parseRange("BYTES= 3 - 4 ", 10).first, 3u);
    EXPECT_EQ(parseRange("bytes=9999999999999999999-", 10).kind, ByteRange::Kind::Unsatisfiable);
    EXPECT_EQ(parseRange("bytes=99999999999999999999-", 10).kind, ByteRange::Kind::Ignore);
    EXPECT_EQ(parseRange("bytes=a-b", 10).kind, ByteRange::Kind::Ignore);
    EXPECT_EQ(parseRange("bytes=", 10).kind, ByteRange::Kind::Ignore);
}

TEST(HttpDate, FormatsAndParsesIMFFixdateOnly)
{
    EXPECT_EQ(formatHttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    for (std::time_t t :
        { std::time_t(0), std::time_t(951782400) /* 2000-02-29 */, std::time_t(1700000000), std::time_t(4102444799) })
        EXPECT_EQ(parseHttpDate(formatHttpDate(t)), t) << t;
    for (const char* bad : { "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994",
             "Sun, 30 Feb 1994 08:49:37 GMT", "Sun, 29 Feb 1900 08:49:37 GMT", "Sun, 06 Nov 1994 24:00:00 GMT",
             "Sun, 06 Nov 1994 08:49:37 UTC", "Xyz, 06 Nov 1994 08:49:37 GMT", "Sun, 06 Foo 1994 08:49:37 GMT", "" })
        EXPECT_FALSE(parseHttpDate(bad).has_value()) << bad;
}

TEST(AuthValues, ParametersAndBasicCredentials)
{
    auto p = parseAuthParams(R"(Digest username="a\"b", realm="r, with comma",qop=auth,  nc=00000001 ,uri="/x")");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->scheme, "Digest");
    EXPECT_EQ(p->params["username"], "a\"b");
    EXPECT_EQ(p->params["realm"], "r, with comma");
    EXPECT_EQ(p->params["qop"], "auth");
    EXPECT_EQ(p->params["nc"], "00000001");
    EXPECT_EQ(p->params["uri"], "/x");
    for (const char* bad : { "", "Digest a", "Digest a=\"open", "Digest a=1 b=2", "Digest =1" })
        EXPECT_FALSE(parseAuthParams(bad)) << bad;

    auto creds = parseBasicCredentials("basic YW5uOnM6cA=="); // ann:s:p
    ASSERT_TRUE(creds);
    EXPECT_EQ(creds->first, "ann");
    EXPECT_EQ(creds->second, "s:p");
    EXPECT_FALSE(parseBasicCredentials("Basic !!!!"));
    EXPECT_FALSE(parseBasicCredentials("Basic YW5u")); // no colon
    EXPECT_FALSE(parseBasicCredentials("Bearer YW5uOnM6cA=="));
}
