// Redirects, authentication, Range and conditional requests, driven by libcurl.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>

#include "testing/httpserver/Auth.h"
#include "testing/httpserver/Handlers.h"
#include "testing/httpserver/HttpDate.h"
#include "testing/httpserver/Resource.h"
#include "testing/httpserver/TestServer.h"
#include "testing/httpserver/tests/Support.h"

using namespace httpserver;
using namespace httpserver::test;

namespace {

void follow(CURL* c)
{
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
}

} // namespace

TEST(Redirects, ChainsOfEveryKindAndLoops)
{
    TestServer server;
    server.on("/final", Reply::text("landed"));
    for (int status : { 301, 302, 303, 307 }) {
        server.clearRequests();
        std::string start = addRedirectChain(server.routes(), "/chain" + std::to_string(status), 3, "/final", status);
        auto r = curlFetch(server.url(start), follow);
        ASSERT_EQ(r.code, CURLE_OK) << status;
        EXPECT_EQ(r.body, "landed");
        EXPECT_EQ(r.redirects, 3);
        auto reqs = server.requests();
        ASSERT_EQ(reqs.size(), 4u);
        EXPECT_EQ(reqs[1].path, "/chain" + std::to_string(status) + "/2");
    }
    server.clearRequests();
    addRedirectLoop(server.routes(), "/ping", "/pong");
    auto loop = curlFetch(server.url("/ping"), follow);
    EXPECT_EQ(loop.code, CURLE_TOO_MANY_REDIRECTS);
    EXPECT_EQ(server.requestCount(), 11u);
}

// Credentials answered through a client's challenge handling are in the platform's connection tests.
TEST(Authentication, BasicChallengeAndCredentialCheck)
{
    TestServer server;
    auto inside = [](const Request&) { return Reply::text("in"); };
    server.on("/basic", basicAuth("ann", "s3cret:with colon", inside, "Club"));
    auto none = curlFetch(server.url("/basic"));
    EXPECT_EQ(none.status, 401);
    EXPECT_EQ(none.headers.value("WWW-Authenticate"), "Basic realm=\"Club\"");
    const std::pair<const char*, long> cases[] = { { "ann:s3cret:with colon", 200 }, { "ann:wrong", 401 },
        { "bob:s3cret:with colon", 401 } };
    for (auto [userpwd, status] : cases) {
        auto r = curlFetch(
            server.url("/basic"), [userpwd = userpwd](CURL* c) { curl_easy_setopt(c, CURLOPT_USERPWD, userpwd); });
        EXPECT_EQ(r.status, status) << userpwd;
    }
}

TEST(Authentication, DigestRoundTripForgedNonceAndTheKnownExample)
{
    TestServer server;
    server.on("/digest", digestAuth("ann", "pw", [](const Request&) { return Reply::text("inside"); }));
    auto digest = [](const char* userpwd) {
        return [userpwd](CURL* c) {
            curl_easy_setopt(c, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
            curl_easy_setopt(c, CURLOPT_USERPWD, userpwd);
        };
    };
    EXPECT_EQ(curlFetch(server.url("/digest?q=1"), digest("ann:pw")).body, "inside");
    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_FALSE(reqs[0].headers.has("Authorization"));
    auto params = parseAuthParams(reqs[1].headers.value("Authorization"));
    ASSERT_TRUE(params);
    EXPECT_EQ(params->params["qop"], "auth");
    EXPECT_EQ(params->params["uri"], "/digest?q=1");

    EXPECT_EQ(curlFetch(server.url("/digest"), digest("ann:bad")).status, 401);

    // A response computed for a nonce this server never issued is refused.
    std::string forged = "Digest username=\"ann\", realm=\"Quillmark Test\", nonce=\"abc\", uri=\"/digest\", qop=auth, "
                         "nc=00000001, cnonce=\"x\", response=\""
        + digestResponse("ann", "Quillmark Test", "pw", "GET", "/digest", "abc", "00000001", "x", "auth") + "\"";
    EXPECT_EQ(curlFetchWithHeaders(server.url("/digest"), { "Authorization: " + forged }).status, 401);

    // The classic worked example: "Mufasa" / "Circle Of Life".
    EXPECT_EQ(digestResponse("Mufasa", "testrealm@host.com", "Circle Of Life", "GET", "/dir/index.html",
                  "dcd98b7102dd2f0e8b11d0f600bfb0c093", "00000001", "0a4f113b", "auth"),
        "6629fae49393a05397450978507c4ef1");
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
}

class RangeAndValidation : public ::testing::Test {
protected:
    void SetUp() override
    {
        Resource r;
        r.body = "0123456789abcdefghij";
        r.contentType = "text/plain";
        r.etag = "\"v1\"";
        r.lastModified = modified;
        server.on("/res", serve(r));
        r.honourRange = false;
        r.honourConditionals = false;
        server.on("/plain", serve(r));
    }

    CurlResult get(const std::string& path, const std::vector<std::string>& headers)
    {
        return curlFetchWithHeaders(server.url(path), headers);
    }

    std::time_t modified = 1700000000;
    TestServer server;
};

TEST_F(RangeAndValidation, RangesGive206WithContentRangeOr416)
{
    struct Case {
        std::string range;
        long status;
        std::string body;
        std::string contentRange;
    };
    std::vector<Case> cases {
        { "bytes=2-5", 206, "2345", "bytes 2-5/20" },
        { "bytes=15-", 206, "fghij", "bytes 15-19/20" },
        { "bytes=-3", 206, "hij", "bytes 17-19/20" },
        { "bytes=18-100", 206, "ij", "bytes 18-19/20" },
        { "bytes=-50", 206, "0123456789abcdefghij", "bytes 0-19/20" },
        { "bytes=20-", 416, "", "bytes */20" },
        { "bytes=-0", 416, "", "bytes */20" },
        { "bytes=5-2", 200, "0123456789abcdefghij", "" },
        { "bytes=0-1,4-5", 200, "0123456789abcdefghij", "" },
        { "items=0-1", 200, "0123456789abcdefghij", "" },
    };
    for (const auto& c : cases) {
        auto r = get("/res", { "Range: " + c.range });
        EXPECT_EQ(r.status, c.status) << c.range;
        EXPECT_EQ(r.body, c.body) << c.range;
        EXPECT_EQ(r.headers.value("Content-Range"), c.contentRange) << c.range;
    }
    auto ignored = get("/plain", { "Range: bytes=2-5" });
    EXPECT_EQ(ignored.status, 200);
    EXPECT_EQ(ignored.body.size(), 20u);
}

TEST_F(RangeAndValidation, IfRangeAppliesTheRangeOnlyForTheCurrentValidator)
{
    EXPECT_EQ(get("/res", { "Range: bytes=10-", "If-Range: \"v1\"" }).status, 206);
    EXPECT_EQ(get("/res", { "Range: bytes=10-", "If-Range: " + formatHttpDate(modified) }).status, 206);
    auto changed = get("/res", { "Range: bytes=10-", "If-Range: \"v0\"" });
    EXPECT_EQ(changed.status, 200);
    EXPECT_EQ(changed.body.size(), 20u);
    EXPECT_EQ(get("/res", { "Range: bytes=10-", "If-Range: " + formatHttpDate(modified - 1) }).status, 200);
}

TEST_F(RangeAndValidation, ValidatorsGive304)
{
    auto hit = get("/res", { "If-None-Match: \"v0\", W/\"v1\"" });
    EXPECT_EQ(hit.status, 304);
    EXPECT_EQ(hit.body, "");
    EXPECT_EQ(hit.headers.value("ETag"), "\"v1\"");
    EXPECT_EQ(get("/res", { "If-None-Match: *" }).status, 304);
    EXPECT_EQ(get("/res", { "If-None-Match: \"v2\"" }).status, 200);
    // If-None-Match wins over a matching If-Modified-Since.
    EXPECT_EQ(get("/res", { "If-None-Match: \"v2\"", "If-Modified-Since: " + formatHttpDate(modified) }).status, 200);
    EXPECT_EQ(get("/res", { "If-Modified-Since: " + formatHttpDate(modified) }).status, 304);
    EXPECT_EQ(get("/res", { "If-Modified-Since: " + formatHttpDate(modified - 10) }).status, 200);
    EXPECT_EQ(get("/res", { "If-Modified-Since: yesterday" }).status, 200);
    EXPECT_EQ(get("/plain", { "If-None-Match: \"v1\"" }).status, 200);
}
