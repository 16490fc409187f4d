// The manager end to end over loopback HTTP and HTTPS: form, query, multipart and JSON bodies as
// the server receives them, base URLs, HEAD, serialization errors, trust and pinning.
#include <filesystem>

#include "net/NKHTTPRequestOperationManager.h"
#include "net/tests/NetTestSupport.h"
#include "platform/network/URLError.h"
#include "platform/persistence/NSBundle.h"
#include "testing/TempHome.h"
#include "testing/httpserver/Handlers.h"
#include "testing/httpserver/TestServer.h"

using namespace net::test;
using httpserver::Reply;
using httpserver::TestServer;

namespace {

struct Result {
    bool done = false;
    bool failed = false;
    Value object;
    NSErrorRef error;
    std::shared_ptr<NKHTTPRequestOperation> operation;
};

class Manager : public NetTest {
protected:
    TestServer server;
    std::shared_ptr<NKHTTPRequestOperationManager> manager = NKHTTPRequestOperationManager::manager();
    Result result;

    NKHTTPRequestOperationManager::Success success()
    {
        return [this](const auto& operation, const Value& object) {
            result.operation = operation;
            result.object = object;
            result.done = true;
        };
    }
    NKHTTPRequestOperationManager::Failure failure()
    {
        return [this](const auto& operation, const NSErrorRef& error) {
            result.operation = operation;
            result.error = error;
            result.failed = true;
            result.done = true;
        };
    }
    void finish() { ASSERT_TRUE(waitFor([&] { return result.done; })); }
};

TEST_F(Manager, FormPostsArriveByteForByte)
{
    server.on("/form", Reply::text("ok"));
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    manager->POST(server.url("/form"), Value::dictionary({ { "name", "粉丝" }, { "a", "x+y" } }), success(), failure());
    finish();
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(text(result.object.asData()), "ok");
    auto request = server.lastRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, "POST");
    EXPECT_EQ(request->body, "a=x%2By&name=%E7%B2%89%E4%B8%9D");
    EXPECT_EQ(request->headers.get("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_TRUE(request->headers.get("User-Agent"));
    EXPECT_TRUE(request->headers.get("Accept-Language"));
}

TEST_F(Manager, GetsCarryTheQueryAndParseJson)
{
    server.on("/list", Reply::json("{\"status\":1,\"rows\":[1,2]}"));
    manager->GET(server.url("/list"), Value::dictionary({ { "page", 2 }, { "city", "a b" } }), success(), failure());
    finish();
    ASSERT_FALSE(result.failed) << result.error->description();
    EXPECT_EQ(result.object["rows"].count(), 2u);
    EXPECT_EQ(server.lastRequest()->query, "city=a%20b&page=2");
}

TEST_F(Manager, MultipartUploadsStreamTheExactBody)
{
    server.on("/up", [](const httpserver::Request& request) {
        return Reply::json("{\"length\":" + std::to_string(request.body.size()) + "}");
    });
    Bytes picture(70000);
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<std::uint8_t>(i * 7);
    manager->POST(server.url("/up"), Value::dictionary({ { "title", "t" } }),
        [&](NKMultipartFormData& form) { form.appendPartWithFileData(picture, "file", "a.jpg", "image/jpeg"); },
        success(), failure());
    finish();
    ASSERT_FALSE(result.failed) << result.error->description();
    auto request = server.lastRequest();
    EXPECT_EQ(request->headers.get("Content-Length"), std::to_string(request->body.size()));
    EXPECT_FALSE(request->chunked);
    std::string type = *request->headers.get("Content-Type");
    std::string boundary = type.substr(type.find("boundary=") + 9);
    EXPECT_EQ(request->body.rfind("--" + boundary + "\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\nt\r\n", 0), 0u);
    EXPECT_NE(request->body.find(std::string(picture.begin(), picture.end())), std::string::npos);
    EXPECT_EQ(request->body.substr(request->body.size() - boundary.size() - 6), "--" + boundary + "--\r\n");
}

TEST_F(Manager, AnUploadWhosePartRunsShortFailsInsteadOfSendingAShortBody)
{
    server.on("/up", Reply::text("ok"));
    manager->POST(server.url("/up"), Value(),
        [&](NKMultipartFormData& form) {
            form.appendPartWithInputStream(NSInputStream::inputStreamWithData(bytes("short")), "f", "f.bin", 100,
                "application/octet-stream");
        },
        success(), failure());
    finish();
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(server.requestCount("/up"), 0u);
}

TEST_F(Manager, BaseUrlsGainATrailingSlash)
{
    auto withPath = NKHTTPRequestOperationManager::initWithBaseURL(NSURL::URLWithString(server.url("/api/v1")));
    EXPECT_EQ(withPath->baseURL()->absoluteString(), server.url("/api/v1/"));
    auto bare = NKHTTPRequestOperationManager::initWithBaseURL(NSURL::URLWithString(server.origin()));
    EXPECT_EQ(bare->baseURL()->absoluteString(), server.origin());
    server.on("/api/v1/items", Reply::json("[]"));
    withPath->GET("items", Value(), success(), failure());
    finish();
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(server.lastRequest()->path, "/api/v1/items");
    EXPECT_FALSE(manager->baseURL());
}

TEST_F(Manager, HeadGivesTheOperationOnly)
{
    server.on("/h", Reply::text("body"));
    bool called = false;
    manager->HEAD(server.url("/h"), Value(), [&](const auto& operation) { called = operation != nullptr; }, failure());
    ASSERT_TRUE(waitFor([&] { return called || result.done; }));
    EXPECT_TRUE(called);
    EXPECT_EQ(server.lastRequest()->method, "HEAD");
}

TEST_F(Manager, EmptyRepliesSucceedWithNoObjectWhateverTheirContentType)
{
    server.on("/gone", Reply(204));
    server.on("/file", Reply(200, "0123456789").contentType("application/octet-stream"));
    server.on("/put", Reply(204).contentType("application/octet-stream"));
    using Verb = std::function<void()>;
    const std::pair<const char*, Verb> verbs[] = {
        { "DELETE", [&] { manager->DELETE(server.url("/gone"), Value(), success(), failure()); } },
        { "PUT", [&] { manager->PUT(server.url("/put"), Value(), success(), failure()); } },
        { "HEAD", [&] {
             manager->HEAD(server.url("/file"), Value(), [&](const auto&) { result.done = true; }, failure());
         } },
    };
    for (const auto& [name, send] : verbs) {
        SCOPED_TRACE(name);
        result = {};
        send();
        finish();
        EXPECT_FALSE(result.failed) << (result.error ? result.error->description() : "");
        EXPECT_TRUE(result.object.isAbsent());
    }
}

TEST_F(Manager, WithoutARequestSerializerTheVerbsFailWithAClearError)
{
    manager->setRequestSerializer(nullptr);
    std::vector<NSErrorRef> errors;
    auto failed = [&](const auto& operation, const NSErrorRef& error) {
        EXPECT_FALSE(operation);
        errors.push_back(error);
    };
    EXPECT_FALSE(manager->GET(server.url("/x"), Value(), success(), failed));
    EXPECT_FALSE(manager->POST(server.url("/x"), Value(), [](NKMultipartFormData&) { }, success(), failed));
    ASSERT_TRUE(waitFor([&] { return errors.size() == 2; }));
    for (const auto& error : errors) {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NKURLRequestSerializationErrorDomain);
        EXPECT_NE(error->localizedDescription().find("request serializer"), std::string::npos);
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(Manager, SerializationErrorsFailOnceAsynchronouslyWithoutAnOperation)
{
    manager->requestSerializer()->setQueryStringSerializationWithBlock(
        [](const auto&, const Value&, NSErrorRef* error) {
            *error = NSError::errorWithDomain("test", 9);
            return std::optional<std::string>();
        });
    int failures = 0;
    auto operation = manager->GET(server.url("/x"), Value::dictionary({ { "a", 1 } }), success(),
        [&](const auto& op, const NSErrorRef& error) { failures += (!op && error->code() == 9) ? 1 : 100; });
    EXPECT_FALSE(operation);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(manager->operationQueue()->operationCount(), 0u);
    ASSERT_TRUE(waitFor([&] { return failures > 0; }));
    testing_support::settle(0.2);
    EXPECT_EQ(failures, 1);
}

TEST_F(Manager, OperationsShareTheManagersObjectsAndCopiesDoNot)
{
    auto operation = manager->HTTPRequestOperationWithRequest(
        NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/x"))), nullptr, nullptr);
    EXPECT_EQ(operation->responseSerializer(), manager->responseSerializer());
    EXPECT_EQ(operation->securityPolicy(), manager->securityPolicy());
    manager->setMaximumResponseDataLength(5);
    auto copy = manager->copy();
    EXPECT_EQ(copy->maximumResponseDataLength(), 5u);
    EXPECT_NE(copy->responseSerializer(), manager->responseSerializer());
    EXPECT_NE(copy->operationQueue(), manager->operationQueue());
    EXPECT_TRUE(std::dynamic_pointer_cast<NKJSONResponseSerializer>(copy->responseSerializer()));
    EXPECT_NE(manager->description().find("baseURL: (null)"), std::string::npos);
    operation->setCompletionBlock(nullptr); // never run: its block would keep it alive
}

class SecureManager : public Manager {
protected:
    TestServer tls { TestServer::https(certs.localhost()) };
    TestServer selfSigned { TestServer::https(certs.selfSigned()) };
    TestServer chained { TestServer::https(certs.chained()) };
};

TEST_F(SecureManager, PinningTheLeafOrTheIntermediateReachesTheServer)
{
    const std::pair<TestServer*, Bytes> cases[] = {
        { &tls, certs.localhost().certificate.der() },
        { &chained, certs.intermediate().der() },
    };
    for (const auto& [server, pinned] : cases) {
        SCOPED_TRACE(server->origin());
        auto policy = NKSecurityPolicy::defaultPolicy();
        policy->setSSLPinningMode(NKSSLPinningModeCertificate);
        policy->setPinnedCertificates(std::vector<Bytes> { pinned });
        manager->setSecurityPolicy(policy);
        server->on("/j", Reply::json("{\"pinned\":1}"));
        result = {};
        manager->GET(server->url("/j"), Value(), success(), failure());
        finish();
        ASSERT_FALSE(result.failed) << result.error->description();
        EXPECT_EQ(server->requestCount("/j"), 1u);
    }
}

TEST_F(SecureManager, TheDefaultPolicyAcceptsAValidServerAndRefusesASelfSignedOne)
{
    tls.on("/j", Reply::json("{\"ok\":true}"));
    manager->GET(tls.url("/j"), Value(), success(), failure());
    finish();
    ASSERT_FALSE(result.failed) << result.error->description();
    EXPECT_TRUE(result.object["ok"].boolValue());

    result = {};
    selfSigned.on("/j", Reply::json("{}"));
    manager->GET(selfSigned.url("/j"), Value(), success(), failure());
    finish();
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(selfSigned.requestCount(), 0u);
}

TEST_F(SecureManager, CertificatesPinnedFromTheBundleDecide)
{
    testing_support::TempHome home;
    std::string bundle = home.pathFor("App.app");
    std::filesystem::create_directories(bundle);
    certs.selfSigned().certificate.writeDer(bundle + "/server.cer");
    NSBundle::setMainBundlePath(bundle);
    auto policy = NKSecurityPolicy::policyWithPinningMode(NKSSLPinningModeCertificate);
    NSBundle::setMainBundlePath("");
    ASSERT_EQ(policy->pinnedCertificates()->size(), 1u);
    policy->setAllowInvalidCertificates(true); // the pinned server is self-signed
    manager->setSecurityPolicy(policy);

    selfSigned.on("/j", Reply::json("{\"pinned\":1}"));
    manager->GET(selfSigned.url("/j"), Value(), success(), failure());
    finish();
    ASSERT_FALSE(result.failed) << result.error->description();
    EXPECT_EQ(result.object["pinned"].integerValue(), 1);

    result = {};
    tls.on("/j", Reply::json("{}"));
    manager->GET(tls.url("/j"), Value(), success(), failure());
    finish();
    EXPECT_TRUE(result.failed);
}

} // namespace
