// The pieces under the loaders: requests and responses, streams, header reading,
// authentication values, cookies, credentials, and the loader's error descriptions.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/network/BlockFifo.h"
#include "platform/network/HTTPAuthentication.h"
#include "platform/network/NSHTTPCookieStorage.h"
#include "platform/network/NSURLCredential.h"
#include "platform/network/NSURLRequest.h"
#include "platform/network/NSURLResponse.h"
#include "platform/network/ResponseHead.h"
#include "platform/network/URLError.h"
#include "platform/threading/NSThread.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"

namespace {

std::optional<NSURL> url(const char* text) { return NSURL::URLWithString(text); }

TEST(Request, HeadersIgnoreCaseAndBodyExcludesStream)
{
    auto request = NSMutableURLRequest::requestWithURL(url("http://h/p"));
    request->setValueForHTTPHeaderField("a", "X-One");
    request->setValueForHTTPHeaderField("b", "x-one");
    request->addValueForHTTPHeaderField("c", "X-ONE");
    EXPECT_EQ(request->valueForHTTPHeaderField("x-one"), "b, c");
    EXPECT_EQ(request->allHTTPHeaderFields().count(), 1u);
    request->setValueForHTTPHeaderField(std::nullopt, "X-one");
    EXPECT_FALSE(request->valueForHTTPHeaderField("X-One"));

    auto stream = NSInputStream::inputStreamWithData(Bytes { 1 });
    request->setHTTPBody(Bytes { 1, 2 });
    request->setHTTPBodyStream(stream);
    EXPECT_FALSE(request->HTTPBody());
    auto copy = request->copy();
    EXPECT_EQ(copy->HTTPBodyStream(), stream); // copies share the stream object
    request->setHTTPBody(Bytes { 3 });
    EXPECT_FALSE(request->HTTPBodyStream());
    EXPECT_EQ(copy->HTTPBodyStream(), stream);
}

TEST(BlockFifo, KeepsOrderWhileItNeverEmptiesAndStartsOverOnceEmpty)
{
    network::BlockFifo fifo;
    std::vector<int> seen;
    int pushed = 0;
    auto push = [&] { fifo.push([&seen, n = pushed++] { seen.push_back(n); }); };
    for (int i = 0; i < 3; ++i)
        push();
    for (int i = 0; i < 500; ++i) { // one in, one out, the list never empty: its front is dropped now and then
        push();
        fifo.pop()();
    }
    while (!fifo.empty())
        fifo.pop()();
    push();
    fifo.pop()();
    ASSERT_EQ(seen.size(), 504u);
    for (int i = 0; i < 504; ++i)
        ASSERT_EQ(seen[i], i);
}

TEST(HeaderFields, NamesFoldOnlyASCIILetters)
{
    EXPECT_TRUE(network::equalsIgnoringCase("Content-TYPE", "content-type"));
    // Characters 0x20 apart that are not letters stay distinct.
    EXPECT_FALSE(network::equalsIgnoringCase("X-A[", "x-a{"));
    EXPECT_FALSE(network::equalsIgnoringCase("\xC4", "\xE4"));
    EXPECT_EQ(network::lowercased("HoSt-[\xC4]"), "host-[\xC4]");

    network::HeaderFields fields;
    fields.add("ETag", "a");
    fields.add("etag", "b");
    ASSERT_NE(fields.find("ETAG"), nullptr);
    EXPECT_EQ(*fields.find("ETAG"), "a, b");
    EXPECT_FALSE(fields.has("ETag2"));
}

TEST(Response, ContentTypeLengthAndFileName)
{
    network::HeaderFields headers;
    headers.set("content-type", "Text/HTML; Charset=\"GBK\"");
    headers.set("Content-Length", "42");
    headers.set("Content-Disposition", "attachment; filename=\"../../etc/report.pdf\"");
    NSHTTPURLResponse response(url("http://h/dir/file"), 200, "HTTP/1.1", headers);
    EXPECT_EQ(response.MIMEType(), "text/html");
    EXPECT_EQ(response.textEncodingName(), "GBK");
    EXPECT_EQ(response.expectedContentLength(), 42);
    EXPECT_EQ(response.suggestedFilename(), "report.pdf");
    EXPECT_EQ(response.valueForHTTPHeaderField("CONTENT-LENGTH"), "42");

    network::HeaderFields bad;
    bad.set("Content-Length", "12abc");
    NSHTTPURLResponse unknown(url("http://h/"), 204, "HTTP/1.1", bad);
    EXPECT_EQ(unknown.expectedContentLength(), -1);
    EXPECT_FALSE(unknown.MIMEType());
    EXPECT_EQ(unknown.suggestedFilename(), "Unknown");
    for (auto [code, text] : { std::pair { 404, "not found" }, std::pair { 599, "server error" }, std::pair { 299, "success" } })
        EXPECT_EQ(NSHTTPURLResponse::localizedStringForStatusCode(code), text) << code;
}

// Data and file streams are read to the end and written by the uploads of the connection and
// session tests, the HTTP stack's multipart and operation tests; here, what those never meet.
TEST(Streams, UnopenedAndFailedStreamsAppendsAndEventsOnTheScheduledLoop)
{
    threading::becomeMainThread();
    testing_support::TempHome home;
    std::uint8_t bytes[] = { 1, 2, 3 };
    EXPECT_EQ(NSInputStream::inputStreamWithData(Bytes { 'a' })->read(bytes, 2), -1);
    auto memory = NSOutputStream::outputStreamToMemory();
    EXPECT_EQ(memory->write(bytes, 3), -1);
    struct Listener : NSStreamDelegate {
        std::vector<NSStreamEvent> events;
        void streamHandleEvent(const std::shared_ptr<NSStream>&, NSStreamEvent event) override { events.push_back(event); }
    };
    auto listener = std::make_shared<Listener>();
    memory->setDelegate(listener);
    memory->scheduleInRunLoop(NSRunLoop::currentRunLoop(), NSDefaultRunLoopMode);
    memory->open();
    ASSERT_TRUE(testing_support::runUntil([&] { return !listener->events.empty(); }));
    EXPECT_EQ(listener->events.front(), NSStreamEventOpenCompleted);

    std::string path = home.pathFor("out.bin");
    std::ofstream(path) << "abc";
    auto appended = NSOutputStream::outputStreamToFileAtPath(path, true);
    appended->open();
    appended->write(bytes, 1);
    EXPECT_EQ(appended->propertyForKey(NSStreamFileCurrentOffsetKey).integerValue(), 4);

    auto missing = NSInputStream::inputStreamWithFileAtPath(home.pathFor("missing"));
    auto unwritable = NSOutputStream::outputStreamToFileAtPath(home.pathFor("no/such/dir/x"), false);
    missing->open();
    unwritable->open();
    EXPECT_EQ(missing->streamStatus(), NSStreamStatusError);
    ASSERT_TRUE(missing->streamError());
    EXPECT_EQ(missing->streamError()->domain(), NSPOSIXErrorDomain);
    EXPECT_FALSE(network::readAll(*missing));
    EXPECT_EQ(unwritable->streamStatus(), NSStreamStatusError);
}

TEST(ResponseHeads, InterimFoldedMalformedAndOversized)
{
    network::ResponseHeadReader reader;
    using R = network::ResponseHeadReader::Result;
    for (const char* line : { "HTTP/1.1 100 Continue\r\n", "\r\n", "HTTP/1.1 200 OK\r\n", "Set-Cookie: a=1\r\n",
             "Set-Cookie: b=2\r\n", "X-Long: one\r\n", "  two\r\n", "set-cookie: c=3\r\n", "\tmore\r\n" })
        EXPECT_EQ(reader.line(line), R::More) << line;
    EXPECT_EQ(reader.line("\r\n"), R::Complete);
    EXPECT_EQ(reader.head().status, 200);
    EXPECT_EQ(reader.head().headers.get("x-long"), "one two");
    EXPECT_EQ(reader.head().rawFields.size(), 4u);
    // A line folded onto a repeated field keeps the field's earlier values.
    EXPECT_EQ(reader.head().headers.get("Set-Cookie"), "a=1, b=2, c=3 more");

    EXPECT_EQ(network::ResponseHeadReader().line("HTTP/1.1 2x0 OK\r\n"), R::Malformed);
    auto afterStatus = [](const std::string& line) {
        network::ResponseHeadReader fresh;
        fresh.line("HTTP/1.1 200 OK\r\n");
        return fresh.line(line);
    };
    EXPECT_EQ(afterStatus("no colon here\r\n"), R::Malformed);
    for (const char* spaced : { "Bad Name: x\r\n", "Bad\tName: x\r\n", "Name : x\r\n", "Name\t: x\r\n" })
        EXPECT_EQ(afterStatus(spaced), R::Malformed) << spaced;
    EXPECT_EQ(afterStatus("Name-With-Dashes:x y\r\n"), R::More);
    EXPECT_EQ(afterStatus("X: " + std::string(300000, 'a')), R::TooLarge);
    EXPECT_FALSE(network::parseStatusLine("HTTP/1.1 99 Low"));
    EXPECT_EQ(network::parseStatusLine("HTTP/1.0 404")->second, 404);
}

TEST(Authentication, ChallengesAndAnswers)
{
    auto challenges = network::parseAuthenticate(
        "Newauth realm=\"apps\", type=1, title=\"Login to \\\"apps\\\"\", Basic realm=\"simple\", Digest realm=\"d\", nonce=\"n1\"");
    ASSERT_EQ(challenges.size(), 3u);
    EXPECT_EQ(challenges[0].params.at("title"), "Login to \"apps\"");
    EXPECT_EQ(challenges[1].params.at("realm"), "simple");
    EXPECT_EQ(network::preferredChallenge(challenges)->scheme, "Digest");
    EXPECT_TRUE(network::parseAuthenticate(",,, \"").empty());

    // Digest answers meet the test server's own check (proved on the worked example) in the
    // connection tests; an algorithm other than MD5 gets none.
    network::AuthChallenge sha { "Digest", { { "realm", "r" }, { "nonce", "n" }, { "algorithm", "SHA-256" } } };
    EXPECT_FALSE(network::digestAuthorization(sha, "u", "p", "GET", "/", "c", 1));
}

TEST(Cookies, DomainPathSecureAndExpiry)
{
    NSHTTPCookieStorage storage;
    auto from = *url("http://www.example.com/shop/cart");
    storage.setCookiesFromResponse({ { "Set-Cookie", "a=1; Path=/" }, { "Set-Cookie", "b=2" },
        { "Set-Cookie", "c=3; Domain=example.com; Path=/; Secure" }, { "Set-Cookie", "evil=1; Domain=other.com" },
        { "Set-Cookie", "old=1; Max-Age=0" } }, from);
    EXPECT_EQ(storage.cookies().size(), 3u);
    EXPECT_EQ(storage.cookieHeaderForURL(*url("http://www.example.com/shop/x")), "b=2; a=1");
    EXPECT_EQ(storage.cookieHeaderForURL(*url("https://api.example.com/")), "c=3");
    EXPECT_FALSE(storage.cookieHeaderForURL(*url("http://example.org/")));
    storage.setCookiesFromResponse({ { "Set-Cookie", "a=9; Path=/" } }, from);
    EXPECT_EQ(storage.cookieHeaderForURL(*url("http://www.example.com/")), "a=9");
}

TEST(Credentials, StorageBySpaceAndDefault)
{
    NSURLCredentialStorage storage;
    NSURLProtectionSpace space("Host", 80, "http", "realm", NSURLAuthenticationMethodHTTPBasic),
        same("host", 80, "http", "realm", NSURLAuthenticationMethodHTTPBasic),
        other("host", 81, "http", "realm", NSURLAuthenticationMethodHTTPBasic);
    EXPECT_TRUE(space.isEqual(same));
    storage.setCredential(NSURLCredential::credentialWithUser("u", "p", NSURLCredentialPersistenceNone), space);
    EXPECT_TRUE(storage.credentialsForProtectionSpace(space).empty()); // not kept
    auto kept = NSURLCredential::credentialWithUser("u", "p", NSURLCredentialPersistenceForSession);
    storage.setDefaultCredential(kept, space);
    EXPECT_EQ(storage.defaultCredentialForProtectionSpace(same), kept);
    EXPECT_FALSE(storage.defaultCredentialForProtectionSpace(other));
    storage.removeCredential(kept, space);
    EXPECT_FALSE(storage.defaultCredentialForProtectionSpace(space));
}

TEST(URLError, EveryFailureOfTheLoaderHasADescriptionOfItsOwn)
{
    const std::int64_t codes[] = { NSURLErrorCancelled, NSURLErrorBadURL, NSURLErrorTimedOut, NSURLErrorUnsupportedURL,
        NSURLErrorCannotFindHost, NSURLErrorCannotConnectToHost, NSURLErrorNetworkConnectionLost,
        NSURLErrorHTTPTooManyRedirects, NSURLErrorBadServerResponse, NSURLErrorUserCancelledAuthentication,
        NSURLErrorCannotDecodeContentData, NSURLErrorRequestBodyStreamExhausted, NSURLErrorSecureConnectionFailed };
    for (std::int64_t code : codes) {
        auto error = network::urlError(code, NSURL::URLWithString("http://h/p"));
        EXPECT_NE(error->localizedDescription(), "unknown error") << code;
        EXPECT_EQ(error->userInfo()[NSURLErrorFailingURLErrorKey].asString(), "http://h/p");
    }
}

} // namespace
