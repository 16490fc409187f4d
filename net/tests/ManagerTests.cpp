// Both managers end to end over loopback HTTP and HTTPS, through one set of cases: every verb
// with its parameters and serializers as the server receives them, multipart bodies, base URLs,
// empty replies, requests that cannot be built, copies, trust and pinning from the bundle (what
// each pinning mode accepts is in the security policy's table). That operations use their
// manager's serializers is in the restored managers' cases, which refuse what only theirs does.
#include <filesystem>

#include "net/tests/ManagerTestSupport.h"
#include "platform/network/URLError.h"
#include "platform/persistence/NSBundle.h"
#include "platform/persistence/NSPropertyListSerialization.h"

using namespace net::test;
using httpserver::Reply;
using httpserver::Request;
using httpserver::TestServer;

namespace {

template <class M>
class Managers : public ManagerTest<M> { };

TYPED_TEST_SUITE(Managers, ManagerKinds);

TYPED_TEST(Managers, EveryVerbSendsItsParametersAsTheSerializerSays)
{
    const Value parameters = Value::dictionary({ { "name", "粉丝" }, { "n", 2 }, { "a", "x+y" } });
    const std::string encoded = "a=x%2By&n=2&name=%E7%B2%89%E4%B8%9D";
    const std::string form = "application/x-www-form-urlencoded";
    struct Case {
        const char* verb;
        std::shared_ptr<NKHTTPRequestSerializer> serializer;
        bool withParameters;
        std::optional<std::string> contentType; // set by the caller on the serializer
        std::string query;
        std::string body; // "plist": a property list of the parameters
        std::optional<std::string> sentType;
    };
    const Case cases[] = {
        { "GET", NKHTTPRequestSerializer::serializer(), true, std::nullopt, encoded, "", std::nullopt },
        { "HEAD", NKHTTPRequestSerializer::serializer(), true, std::nullopt, encoded, "", std::nullopt },
        { "DELETE", NKHTTPRequestSerializer::serializer(), true, std::nullopt, encoded, "", std::nullopt },
        { "POST", NKHTTPRequestSerializer::serializer(), true, std::nullopt, "", encoded, form },
        { "PUT", NKJSONRequestSerializer::serializer(), true, std::nullopt, "", R"({"a":"x+y","n":2,"name":"粉丝"})",
            "application/json" },
        { "PUT", NKJSONRequestSerializer::serializer(), true, "application/vnd.quill+json", "",
            R"({"a":"x+y","n":2,"name":"粉丝"})", "application/vnd.quill+json" },
        { "PATCH", NKPropertyListRequestSerializer::serializer(), true, std::nullopt, "", "plist", "application/x-plist" },
        { "PATCH", NKPropertyListRequestSerializer::serializer(), false, std::nullopt, "", "", std::nullopt },
        { "GET", NKPropertyListRequestSerializer::serializer(), true, std::nullopt, encoded, "", std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.verb) + " " + c.serializer->className());
        auto manager = this->make(this->server.origin());
        c.serializer->setValueForHTTPHeaderField(c.contentType, "Content-Type");
        manager->setRequestSerializer(c.serializer);
        auto& result = this->record();
        auto ref = this->send(*manager, c.verb, "/v", c.withParameters ? parameters : Value(), result);
        ASSERT_TRUE(ref);
        if constexpr (isSession(static_cast<TypeParam*>(nullptr))) {
            EXPECT_NE(ref->state(), NSURLSessionTaskStateSuspended); // already resumed, perhaps already done
        }
        this->finish(result);
        ASSERT_EQ(result.successes, 1) << result.error->description();
        EXPECT_TRUE(result.onMain);
        EXPECT_EQ(result.ref, ref);
        if (std::string(c.verb) != "HEAD") {
            EXPECT_EQ(result.object["method"].asString(), c.verb);
        }
        auto sent = this->server.lastRequest();
        EXPECT_EQ(sent->method, c.verb);
        EXPECT_EQ(sent->query, c.query);
        if (c.body == "plist")
            EXPECT_EQ(NSPropertyListSerialization::propertyListWithData(bytes(sent->body), 0, nullptr), parameters);
        else
            EXPECT_EQ(sent->body, c.body);
        EXPECT_EQ(sent->headers.get("Content-Type"), c.sentType);
        EXPECT_TRUE(sent->headers.get("User-Agent"));
        EXPECT_TRUE(sent->headers.get("Accept-Language"));
    }
}

TYPED_TEST(Managers, MultipartPostsStreamTheExactBodyWithItsLength)
{
    auto manager = this->make();
    Bytes picture(70000);
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<std::uint8_t>(i * 7);
    auto& result = this->record();
    auto ref = manager->POST(this->server.url("/up"), Value::dictionary({ { "title", "t" } }),
        [&](NKMultipartFormData& form) {
            form.appendPartWithFileData(picture, "file", "a.jpg", "image/jpeg");
            // A caller's stream cannot be copied: it is sent as it is.
            form.appendPartWithInputStream(NSInputStream::inputStreamWithData(bytes("streamed part")), "s", "s.txt", 13, "text/plain");
        },
        result.success(), result.failure());
    ASSERT_TRUE(ref);
    if constexpr (isSession(static_cast<TypeParam*>(nullptr))) {
        EXPECT_EQ(ref->kind(), NSURLSessionTask::Kind::Upload);
    }
    this->finish(result);
    ASSERT_EQ(result.successes, 1) << result.error->description();
    auto request = this->server.lastRequest();
    EXPECT_EQ(request->headers.get("Content-Length"), std::to_string(request->body.size()));
    EXPECT_FALSE(request->chunked);
    EXPECT_NE(request->body.find("name=\"title\"\r\n\r\nt\r\n"), std::string::npos);
    EXPECT_NE(request->body.find(std::string(picture.begin(), picture.end())), std::string::npos);
    EXPECT_NE(request->body.find("streamed part"), std::string::npos);
}

TYPED_TEST(Managers, AnUploadWhosePartRunsShortFailsInsteadOfSendingAShortBody)
{
    auto manager = this->make();
    auto& result = this->record();
    manager->POST(this->server.url("/up"), Value(),
        [&](NKMultipartFormData& form) {
            form.appendPartWithInputStream(NSInputStream::inputStreamWithData(bytes("short")), "f", "f.bin", 100,
                "application/octet-stream");
        },
        result.success(), result.failure());
    this->finish(result);
    EXPECT_EQ(result.failures, 1);
    EXPECT_EQ(this->server.requestCount("/up"), 0u);
}

TYPED_TEST(Managers, BaseUrlsGainATrailingSlashAndResolveRelativeAndAbsoluteStrings)
{
    TestServer other;
    other.on("/there", Reply::json("{}"));
    const std::string withPath = this->server.url("/api/v1"), bare = this->server.origin();
    EXPECT_EQ(this->make(withPath)->baseURL()->absoluteString(), withPath + "/");
    EXPECT_EQ(this->make(bare)->baseURL()->absoluteString(), bare);
    EXPECT_FALSE(this->make()->baseURL());
    struct Case {
        std::string base, url;
        TestServer& reached;
        std::string path;
    };
    const Case cases[] = {
        { withPath, "items", this->server, "/api/v1/items" },
        { withPath, "/items", this->server, "/items" },
        { withPath, other.url("/there"), other, "/there" },
        { bare, "items", this->server, "/items" },
        { "", this->server.url("/full"), this->server, "/full" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base + " + " + c.url);
        auto& result = this->record();
        this->make(c.base)->GET(c.url, Value(), result.success(), result.failure());
        this->finish(result);
        EXPECT_EQ(result.successes, 1);
        EXPECT_EQ(c.reached.lastRequest()->path, c.path);
    }
}

TYPED_TEST(Managers, EmptyRepliesSucceedWithNoObjectWhateverTheirContentType)
{
    this->server.on("/gone", Reply(204));
    this->server.on("/put", Reply(204).contentType("application/octet-stream"));
    this->server.on("/file", Reply(200, "0123456789").contentType("application/octet-stream"));
    const std::pair<const char*, const char*> cases[] = { { "DELETE", "/gone" }, { "PUT", "/put" }, { "HEAD", "/file" } };
    auto manager = this->make();
    for (const auto& [verb, path] : cases) {
        SCOPED_TRACE(verb);
        auto& result = this->record();
        this->send(*manager, verb, this->server.url(path), Value(), result);
        this->finish(result);
        EXPECT_EQ(result.successes, 1) << (result.error ? result.error->description() : "");
        EXPECT_TRUE(result.object.isAbsent());
    }
}

TYPED_TEST(Managers, WithoutARequestSerializerTheVerbsFailWithAClearError)
{
    auto manager = this->make();
    manager->setRequestSerializer(nullptr);
    auto& get = this->record();
    EXPECT_FALSE(manager->GET(this->server.url("/x"), Value(), get.success(), get.failure()));
    auto& upload = this->record();
    EXPECT_FALSE(manager->POST(this->server.url("/x"), Value(), [](NKMultipartFormData&) { }, upload.success(), upload.failure()));
    for (auto* result : { &get, &upload }) {
        this->finish(*result);
        ASSERT_TRUE(result->error);
        EXPECT_FALSE(result->ref);
        EXPECT_EQ(result->error->domain(), NKURLRequestSerializationErrorDomain);
        EXPECT_NE(result->error->localizedDescription().find("request serializer"), std::string::npos);
    }
    EXPECT_EQ(this->server.requestCount(), 0u);
}

TYPED_TEST(Managers, ARequestThatCannotBeBuiltFailsOnceAsynchronouslyWithNothingQueued)
{
    auto manager = this->make();
    manager->requestSerializer()->setQueryStringSerializationWithBlock([](const auto&, const Value&, NSErrorRef* error) {
        *error = NSError::errorWithDomain("test", 9);
        return std::optional<std::string>();
    });
    auto& result = this->record();
    EXPECT_FALSE(manager->GET(this->server.url("/x"), Value::dictionary({ { "a", 1 } }), result.success(), result.failure()));
    EXPECT_EQ(result.calls(), 0); // never from inside the call
    this->finish(result);
    testing_support::settle(0.1);
    EXPECT_EQ(result.failures, 1);
    EXPECT_EQ(result.successes, 0);
    EXPECT_FALSE(result.ref);
    EXPECT_EQ(result.error->code(), 9);
    EXPECT_EQ(this->server.requestCount(), 0u);
    if constexpr (isSession(static_cast<TypeParam*>(nullptr)))
        EXPECT_TRUE(manager->tasks().empty());
    else
        EXPECT_EQ(manager->operationQueue()->operationCount(), 0u);
}

TYPED_TEST(Managers, CopiesKeepTheBaseUrlAndCopyTheSerializersAndPolicy)
{
    auto manager = this->make(this->server.url("/api"));
    manager->setRequestSerializer(NKJSONRequestSerializer::serializerWithWritingOptions(1));
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    auto policy = NKSecurityPolicy::defaultPolicy(); // pins set below, not read from the bundle
    policy->setSSLPinningMode(NKSSLPinningModeCertificate);
    policy->setPinnedCertificates(std::vector<Bytes> { this->certs.localhost().certificate.der() });
    manager->setSecurityPolicy(policy);
    manager->setMaximumResponseDataLength(5);
    auto copy = std::dynamic_pointer_cast<TypeParam>(manager->copy());
    ASSERT_TRUE(copy);
    if constexpr (isSession(static_cast<TypeParam*>(nullptr)))
        this->keep(copy);
    EXPECT_EQ(copy->maximumResponseDataLength(), 5u);
    EXPECT_EQ(copy->baseURL()->absoluteString(), this->server.url("/api/"));
    auto json = std::dynamic_pointer_cast<NKJSONRequestSerializer>(copy->requestSerializer());
    ASSERT_TRUE(json);
    EXPECT_NE(json, manager->requestSerializer());
    EXPECT_EQ(json->writingOptions(), 1u);
    EXPECT_FALSE(std::dynamic_pointer_cast<NKJSONResponseSerializer>(copy->responseSerializer()));
    EXPECT_NE(copy->responseSerializer(), manager->responseSerializer());
    EXPECT_NE(copy->operationQueue(), manager->operationQueue());
    EXPECT_EQ(copy->securityPolicy()->SSLPinningMode(), NKSSLPinningModeCertificate);
    EXPECT_TRUE(copy->securityPolicy()->pinnedCertificates());
    EXPECT_NE(this->make()->description().find("baseURL: (null)"), std::string::npos);
}

TYPED_TEST(Managers, TrustFollowsTheChainOrThePinnedCertificates)
{
    auto& certs = this->certs;
    TestServer tls(TestServer::https(certs.localhost()));
    TestServer selfSigned(TestServer::https(certs.selfSigned()));
    std::string bundle = this->home.pathFor("App.app");
    std::filesystem::create_directories(bundle);
    certs.selfSigned().certificate.writeDer(bundle + "/server.cer");
    NSBundle::setMainBundlePath(bundle);
    auto fromBundle = NKSecurityPolicy::policyWithPinningMode(NKSSLPinningModeCertificate);
    NSBundle::setMainBundlePath("");
    ASSERT_EQ(fromBundle->pinnedCertificates()->size(), 1u);
    fromBundle->setAllowInvalidCertificates(true); // the pinned server is self-signed
    struct Case {
        const char* name;
        std::shared_ptr<NKSecurityPolicy> policy;
        TestServer& server;
        bool reached;
    };
    const Case cases[] = {
        { "default, valid", NKSecurityPolicy::defaultPolicy(), tls, true },
        { "default, self-signed", NKSecurityPolicy::defaultPolicy(), selfSigned, false },
        { "pinned from the bundle", fromBundle, selfSigned, true },
        { "pinned from the bundle, other server", fromBundle, tls, false },
    };
    auto manager = this->make();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Every request makes a new connection, so every one meets the trust decision.
        c.server.on("/j", Reply::json("{\"ok\":1}").closeConnection());
        std::size_t before = c.server.requestCount("/j");
        manager->setSecurityPolicy(c.policy);
        auto& result = this->record();
        this->send(*manager, "GET", c.server.url("/j"), Value(), result);
        this->finish(result);
        EXPECT_EQ(result.successes, c.reached ? 1 : 0) << (result.error ? result.error->description() : "");
        EXPECT_EQ(c.server.requestCount("/j") - before, c.reached ? 1u : 0u);
        if (c.reached)
            EXPECT_EQ(result.object["ok"].integerValue(), 1);
        else // a session task is cancelled; a connection's challenge is
            EXPECT_EQ(result.error->code(), isSession(manager.get()) ? NSURLErrorCancelled : NSURLErrorUserCancelledAuthentication);
    }
}

} // namespace
