// Response serializers: validation by status and content type with their errors, JSON in the
// response's charset, null stripping, and empty replies through every serializer.
#include "net/NKURLResponseSerialization.h"
#include "net/tests/NetTestSupport.h"
#include "platform/network/URLError.h"
#include "platform/persistence/NSJSONSerialization.h"

using namespace net::test;

namespace {

std::shared_ptr<NSHTTPURLResponse> reply(int status, std::optional<std::string> contentType)
{
    Value headers = Value::dictionary();
    if (contentType)
        headers.set("Content-Type", Value(*contentType));
    return NSHTTPURLResponse::create(NSURL::URLWithString("http://h/r"), status, "HTTP/1.1", headers);
}

TEST(ResponseSerializer, JsonBodiesByContentTypeCharsetAndContent)
{
    struct Case {
        const char* name;
        std::string type;
        std::string body;
        Value object; // absent: none
        std::optional<std::int64_t> code;
    };
    const Value a = Value::dictionary({ { "a", 1 } });
    const Case cases[] = {
        { "html", "text/html", "{\"a\":1}", a, std::nullopt },
        { "in the reply's charset", "text/html; charset=GBK", "{\"k\":\"\xd6\xd0\"}", Value::dictionary({ { "k", "中" } }),
            std::nullopt },
        { "blank", "application/json", " ", Value(), std::nullopt },
        { "empty", "application/json", "", Value(), std::nullopt },
        { "empty once decoded", "application/json; charset=utf-16", "\xff\xfe", Value(), std::nullopt },
        { "only a UTF-8 mark", "application/json", "\xEF\xBB\xBF", Value(), std::nullopt },
        { "not text", "application/json", "{\xff\xfe}", Value(), NSURLErrorCannotDecodeContentData },
        { "not GBK", "text/html; charset=GBK", "{\xff\xff}", Value(), NSURLErrorCannotDecodeContentData },
        { "other type", "application/octet-stream", "{\"a\":1}", Value(), NSURLErrorCannotDecodeContentData },
    };
    auto json = NKJSONResponseSerializer::serializer();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes body = bytes(c.body);
        NSErrorRef error;
        EXPECT_EQ(json->responseObjectForResponse(reply(200, c.type), &body, &error), c.object);
        EXPECT_EQ(error ? std::optional(error->code()) : std::nullopt, c.code);
    }
    // A body that is not text in its charset is not said to have failed as UTF-8.
    Bytes body = bytes("{\xff\xff}");
    NSErrorRef error;
    json->responseObjectForResponse(reply(200, "text/html; charset=GBK"), &body, &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(), "Data failed decoding in the response's text encoding");
    EXPECT_EQ(error->userInfo()[NSLocalizedFailureReasonErrorKey].asString(), "Could not decode data in text encoding GBK");
    // The content-type error says which type and carries the URL and the body.
    body = bytes("{\"a\":1}");
    error.reset();
    json->responseObjectForResponse(reply(200, "application/octet-stream"), &body, &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NKURLResponseSerializationErrorDomain);
    EXPECT_EQ(error->localizedDescription(), "Request failed: unacceptable content-type: application/octet-stream");
    EXPECT_EQ(error->userInfo()[NSURLErrorFailingURLErrorKey].asString(), "http://h/r");
    EXPECT_EQ(error->userInfo()[NKNetworkingOperationFailingURLResponseDataErrorKey].asData(), body);
}

TEST(ResponseSerializer, AStatusFailureStillParsesAndChainsTheErrors)
{
    auto json = NKJSONResponseSerializer::serializer();
    Bytes body = bytes("{\"a\":1}");
    NSErrorRef error;
    Value object = json->responseObjectForResponse(reply(500, "application/json"), &body, &error);
    EXPECT_EQ(object["a"].integerValue(), 1);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
    EXPECT_EQ(error->localizedDescription(),
        "Request failed: " + NSHTTPURLResponse::localizedStringForStatusCode(500) + " (500)");
    Bytes broken = bytes("{oops");
    error.reset();
    json->responseObjectForResponse(reply(500, "application/json"), &broken, &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->code(), NSURLErrorBadServerResponse);
    EXPECT_TRUE(net::errorChainHasCode(error, NSURLErrorBadServerResponse, NKURLResponseSerializationErrorDomain));
    // No text once decoded: no parse error joins the status error.
    Bytes markOnly = bytes("\xfe\xff");
    error.reset();
    EXPECT_TRUE(json->responseObjectForResponse(reply(500, "text/plain; charset=utf-16"), &markOnly, &error).isAbsent());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
    EXPECT_FALSE(error->underlyingError());
    // Both failures at once: the status error carries the content-type error beneath it.
    NSErrorRef both;
    EXPECT_FALSE(json->validateResponse(reply(404, "image/png"), &body, &both));
    EXPECT_EQ(both->code(), NSURLErrorBadServerResponse);
    EXPECT_EQ(both->underlyingError()->code(), NSURLErrorCannotDecodeContentData);
}

TEST(ResponseSerializer, AnEmptyReplyFailsOnlyOnItsStatus)
{
    // An empty 2xx reply of any content type (a 204, the answer to HEAD) has nothing to
    // refuse: every serializer gives no object and no error. A body, or a bad status, does.
    struct Case {
        int status;
        std::optional<std::string> type;
        std::string body;
        std::optional<std::int64_t> code;
    };
    const Case cases[] = {
        { 204, std::nullopt, "", std::nullopt },
        { 200, "application/zip", "", std::nullopt },
        { 200, "application/zip", "PK", NSURLErrorCannotDecodeContentData },
        { 404, std::nullopt, "", NSURLErrorBadServerResponse },
    };
    std::vector<std::shared_ptr<NKHTTPResponseSerializer>> serializers { NKJSONResponseSerializer::serializer(),
        NKPropertyListResponseSerializer::serializer(), NKImageResponseSerializer::serializer() };
    for (const auto& c : cases) {
        for (const auto& serializer : serializers) {
            SCOPED_TRACE(serializer->className() + " " + std::to_string(c.status) + " " + c.body);
            Bytes body = bytes(c.body);
            NSErrorRef error;
            Value object = serializer->responseObjectForResponse(reply(c.status, c.type), &body, &error);
            EXPECT_EQ(error ? std::optional(error->code()) : std::nullopt, c.code);
            if (!c.code) {
                EXPECT_TRUE(object.isAbsent());
            }
        }
    }
}

TEST(ResponseSerializer, NullValuedKeysAreStripped)
{
    Value parsed = NSJSONSerialization::JSONObjectWithData(std::string_view("{\"a\":null,\"b\":[null,{\"c\":null}]}"));
    Value stripped = net::stripNullValuedKeys(parsed);
    EXPECT_EQ(stripped, NSJSONSerialization::JSONObjectWithData(std::string_view("{\"b\":[null,{}]}")));
}

TEST(ResponseSerializer, PlainDataComesBackEvenWithAStatusError)
{
    auto plain = NKHTTPResponseSerializer::serializer();
    Bytes body = bytes("missing");
    NSErrorRef error;
    EXPECT_EQ(plain->responseObjectForResponse(reply(404, "text/plain"), &body, &error).asData(), body);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
}

// Without a URL a response is judged on its content type alone, and quietly.
TEST(ResponseSerializer, AResponseWithoutAURLMakesNoValidationError)
{
    auto json = NKJSONResponseSerializer::serializer();
    Bytes body = bytes("{\"a\":1}");
    NSErrorRef error;
    auto anonymous = NSHTTPURLResponse::create(std::nullopt, 500, "HTTP/1.1", Value::dictionary());
    EXPECT_EQ(json->responseObjectForResponse(anonymous, &body, &error)["a"].integerValue(), 1);
    json->setAcceptableContentTypes(std::set<std::string> { "application/zip" });
    EXPECT_FALSE(json->validateResponse(anonymous, &body, &error));
    EXPECT_FALSE(error);
}

} // namespace
