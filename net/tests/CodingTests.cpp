// Keyed archives of the HTTP stack with secure coding: restored managers of both kinds send the
// same bytes and validate replies the same way, session managers keep their configuration and
// are made only where asked for; serializers keep their settings; operations keep their request
// and reply.
#include "net/NKCoding.h"
#include "net/tests/ManagerTestSupport.h"
#include "platform/network/URLError.h"
#include "platform/persistence/NSKeyedArchiver.h"

using namespace net::test;
using httpserver::Reply;
using httpserver::Request;

namespace {

template <typename T>
std::shared_ptr<T> roundTrip(const std::shared_ptr<T>& object, const std::string& className)
{
    NSErrorRef error;
    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(object), &error);
    EXPECT_TRUE(bytes) << (error ? error->description() : "");
    if (!bytes)
        return nullptr;
    auto restored = NSKeyedUnarchiver::unarchivedObjectOfClass<T>(className, *bytes, &error);
    EXPECT_TRUE(restored) << (error ? error->description() : "");
    return restored;
}

// What the server saw of a request, less what differs between two connections.
std::string bytesOf(const Request& request)
{
    std::string text = request.method + " " + request.target + "\n";
    for (const auto& [name, value] : request.headers.fields())
        text += name + ": " + value + "\n";
    return text + "\n" + request.body;
}

using Coding = SessionTest;

template <class M>
class ManagerCoding : public ManagerTest<M> {
protected:
    // Posts through the manager and returns what the server received; checks on the way that
    // the manager refuses text/html (only JSON is acceptable to the managers of these tests).
    std::string sendAndValidate(M& manager)
    {
        this->server.clearRequests();
        this->server.on("/html", Reply(200, "{\"ok\":1}").contentType("text/html"));
        auto& posted = this->record();
        this->send(manager, "POST", "items", Value::dictionary({ { "name", "粉丝" }, { "n", 2 } }), posted);
        this->finish(posted);
        EXPECT_EQ(posted.successes, 1);
        auto& html = this->record();
        this->send(manager, "GET", "/html", Value(), html);
        this->finish(html);
        EXPECT_TRUE(html.error && html.error->code() == NSURLErrorCannotDecodeContentData);
        auto sent = this->server.requestsFor("/api/items");
        return sent.empty() ? std::string() : bytesOf(sent.back());
    }
};

TYPED_TEST_SUITE(ManagerCoding, ManagerKinds);

TYPED_TEST(ManagerCoding, ARestoredManagerSendsTheSameBytesAndValidatesTheSameWay)
{
    constexpr bool session = isSession(static_cast<TypeParam*>(nullptr));
    // A session's configuration goes into the archive too, its headers into every request.
    auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
    configuration->timeoutIntervalForRequest = 12;
    configuration->HTTPAdditionalHeaders = Value::dictionary({ { "X-Session", "s" } });
    configuration->HTTPMaximumConnectionsPerHost = 2;
    configuration->maximumResponseBodyLength = 4096;
    std::vector<std::shared_ptr<NKHTTPRequestSerializer>> serializers { NKHTTPRequestSerializer::serializer(),
        NKJSONRequestSerializer::serializerWithWritingOptions(1), NKPropertyListRequestSerializer::serializer() };
    for (const auto& requests : serializers) {
        SCOPED_TRACE(requests->className());
        requests->setValueForHTTPHeaderField("quill", "X-Client");
        requests->setAuthorizationHeaderFieldWithUsername("user", "secret");
        auto responses = NKJSONResponseSerializer::serializer();
        responses->setAcceptableContentTypes(std::set<std::string> { "application/json" });
        std::shared_ptr<TypeParam> manager;
        if constexpr (session)
            manager = this->keep(TypeParam::initWithBaseURL(NSURL::URLWithString(this->server.url("/api")), configuration));
        else
            manager = this->make(this->server.url("/api"));
        manager->setRequestSerializer(requests);
        manager->setResponseSerializer(responses);
        auto restored = roundTrip(manager, manager->className());
        ASSERT_TRUE(restored);
        EXPECT_EQ(restored->baseURL()->absoluteString(), this->server.url("/api/"));
        EXPECT_EQ(restored->requestSerializer()->className(), requests->className());
        if constexpr (session) {
            this->keep(restored);
            auto kept = restored->session()->configuration();
            EXPECT_EQ(kept->timeoutIntervalForRequest, 12);
            EXPECT_EQ(kept->HTTPAdditionalHeaders, configuration->HTTPAdditionalHeaders);
            EXPECT_EQ(kept->HTTPMaximumConnectionsPerHost, 2);
            EXPECT_EQ(kept->maximumResponseBodyLength, 4096);
            EXPECT_NE(kept->HTTPCookieStorage, NSHTTPCookieStorage::sharedHTTPCookieStorage()); // still private
        }
        std::string sent = this->sendAndValidate(*manager);
        EXPECT_NE(sent.find("X-Client: quill"), std::string::npos);
        EXPECT_EQ(sent.find("X-Session") != std::string::npos, session);
        EXPECT_EQ(this->sendAndValidate(*restored), sent);
    }
}

// The property-list and image serializers' settings go through the same coding as the JSON one's.
TEST_F(Coding, ResponseSerializersKeepTheirSettings)
{
    auto json = NKJSONResponseSerializer::serializerWithReadingOptions(1);
    json->setRemovesKeysWithNullValues(true);
    json->setAcceptableStatusCodes(std::set<std::int64_t> { 200, 404 });
    auto compound = NKCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        { NKXMLParserResponseSerializer::serializer(), json });
    auto jsonCopy = std::dynamic_pointer_cast<NKJSONResponseSerializer>(
        roundTrip<NKHTTPResponseSerializer>(json, "NKHTTPResponseSerializer"));
    ASSERT_TRUE(jsonCopy);
    EXPECT_EQ(jsonCopy->readingOptions(), 1u);
    EXPECT_TRUE(jsonCopy->removesKeysWithNullValues());
    EXPECT_EQ(jsonCopy->acceptableStatusCodes(), json->acceptableStatusCodes());
    EXPECT_EQ(jsonCopy->acceptableContentTypes(), json->acceptableContentTypes());
    auto compoundCopy = roundTrip(compound, "NKCompoundResponseSerializer");
    ASSERT_TRUE(compoundCopy);
    ASSERT_EQ(compoundCopy->responseSerializers().size(), 2u);
    EXPECT_EQ(compoundCopy->responseSerializers()[0]->className(), "NKXMLParserResponseSerializer");
    auto inner = std::dynamic_pointer_cast<NKJSONResponseSerializer>(compoundCopy->responseSerializers()[1]);
    ASSERT_TRUE(inner);
    EXPECT_TRUE(inner->removesKeysWithNullValues());
    // Read as another class, the archive is refused.
    NSErrorRef error;
    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(json));
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObjectOfClass("NKImageResponseSerializer", *bytes, &error).isObject());
    EXPECT_TRUE(error);
}

TEST_F(Coding, AFinishedOperationKeepsItsRequestAndReplyAndIsReadyAgain)
{
    server.on("/op", Reply::json("{\"ok\":1}"));
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(server.url("/op")));
    request->setHTTPMethod("PUT");
    request->setHTTPBody(net::test::bytes("body"));
    request->setValueForHTTPHeaderField("v", "X-Head");
    auto operation = NKHTTPRequestOperation::initWithRequest(request);
    operation->setResponseSerializer(NKJSONResponseSerializer::serializer());
    bool done = false;
    operation->setCompletionBlockWithSuccess([&](const auto&, const Value&) { done = true; }, nullptr);
    auto queue = NSOperationQueue::create();
    queue->addOperation(operation);
    ASSERT_TRUE(waitFor([&] { return done; }));
    auto restored = roundTrip(operation, "NKHTTPRequestOperation");
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->state(), NKOperationReadyState);
    EXPECT_EQ(restored->request()->HTTPMethod(), "PUT");
    EXPECT_EQ(restored->request()->HTTPBody(), net::test::bytes("body"));
    EXPECT_EQ(restored->request()->valueForHTTPHeaderField("X-Head"), "v");
    ASSERT_TRUE(restored->response());
    EXPECT_EQ(restored->response()->statusCode(), 200);
    EXPECT_EQ(restored->responseData(), operation->responseData());
    EXPECT_EQ(restored->totalBytesRead(), operation->totalBytesRead());
    EXPECT_TRUE(std::dynamic_pointer_cast<NKJSONResponseSerializer>(restored->responseSerializer()));
}

TEST_F(Coding, ASessionManagerIsMadeOnlyWhereItsReaderAsksForOne)
{
    // Read as anything else, or without asking, its archive starts no session.
    auto manager = keep(NKHTTPSessionManager::manager());
    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(manager));
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(NSKeyedUnarchiver::unarchivedObjectOfClass("NKHTTPRequestOperationManager", *bytes).isAbsent());
    EXPECT_TRUE(NSKeyedUnarchiver::unarchiveObjectWithData(*bytes).isAbsent());
    EXPECT_TRUE(keep(NSKeyedUnarchiver::unarchivedObjectOfClass<NKURLSessionManager>("NKURLSessionManager", *bytes)));
}

// Reads values from a dictionary, as an archive written elsewhere would hold them.
class DictionaryCoder : public NSCoder {
public:
    explicit DictionaryCoder(Value values) : values_(std::move(values)) { }
    Value decodeObjectForKey(std::string_view key) override { return values_[std::string(key)]; }
    std::int64_t decodeIntegerForKey(std::string_view key) override { return values_[std::string(key)].integerValue(); }
    bool containsValueForKey(std::string_view key) const override { return values_.contains(std::string(key)); }

private:
    Value values_;
};

TEST_F(Coding, AManagerArchivedWithOnlyAnIdentifierGetsABackgroundConfiguration)
{
    DictionaryCoder coder(Value::dictionary({ { "identifier", "com.quill.bg" }, { "baseURL", server.url("/v1") } }));
    auto manager = NKHTTPSessionManager::initWithCoder(coder);
    ASSERT_TRUE(manager);
    keep(manager);
    EXPECT_EQ(manager->session()->configuration()->identifier, "com.quill.bg");
    EXPECT_EQ(manager->baseURL()->absoluteString(), server.url("/v1/"));
}

// Whatever state an archive names, the operation it gives is ready to be queued.
TEST_F(Coding, AnOperationRestoredFromAnyStoredStateIsReady)
{
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/any")));
    for (std::int64_t stored : { -1, 0, 2, 3, 7 }) {
        DictionaryCoder coder(Value::dictionary({ { "request", Value(request) }, { "state", stored } }));
        auto operation = std::make_shared<NKURLConnectionOperation>(nullptr);
        ASSERT_TRUE(operation->initWithCoder(coder));
        EXPECT_TRUE(operation->isReady()) << "stored state " << stored;
    }
}

} // namespace
