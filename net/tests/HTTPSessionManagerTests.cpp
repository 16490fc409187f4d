// The HTTP session manager end to end: every verb with its parameters and serializers as the
// server receives them, multipart bodies through a streamed upload task, base URLs, failures
// with and without a task, the completion queue and group, copies and descriptions.
#include <deque>

#include "net/tests/SessionTestSupport.h"
#include "platform/network/URLError.h"
#include "platform/persistence/NSPropertyListSerialization.h"

using namespace net::test;
using httpserver::Reply;
using httpserver::Request;

namespace {

struct Result {
    int successes = 0;
    int failures = 0;
    bool onMain = false;
    NKHTTPSessionManager::DataTaskRef task;
    Value object;
    NSErrorRef error;

    NKHTTPSessionManager::Success success()
    {
        return [this](const auto& t, const Value& o) {
            ++successes;
            onMain = NSThread::isMainThread();
            task = t;
            object = o;
        };
    }
    NKHTTPSessionManager::Failure failure()
    {
        return [this](const auto& t, const NSErrorRef& e) {
            ++failures;
            onMain = NSThread::isMainThread();
            task = t;
            error = e;
        };
    }
    int calls() const { return successes + failures; }
};

class HTTPSessionManager : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        server.setDefault([](const Request& r) { return Reply::json("{\"method\":\"" + r.method + "\"}"); });
    }
    std::shared_ptr<NKHTTPSessionManager> make(const std::string& base = "")
    {
        return keep(base.empty() ? NKHTTPSessionManager::manager()
                                 : NKHTTPSessionManager::initWithBaseURL(NSURL::URLWithString(base)));
    }
    // A recorder that outlives the test body (see outcome()).
    Result& record() { return results_.emplace_back(); }
    void finish(const Result& result, int calls = 1) { ASSERT_TRUE(waitFor([&] { return result.calls() == calls; })); }
    std::deque<Result> results_;
};

TEST_F(HTTPSessionManager, EveryVerbSendsItsParametersAsTheSerializerSays)
{
    auto manager = make(server.origin());
    Value parameters = Value::dictionary({ { "name", "粉丝" }, { "n", 2 } });
    const std::string encoded = "n=2&name=%E7%B2%89%E4%B8%9D";

    Result& get = record();
    auto task = manager->GET("/g", parameters, get.success(), get.failure());
    ASSERT_TRUE(task);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateRunning);
    finish(get);
    EXPECT_EQ(get.successes, 1);
    EXPECT_TRUE(get.onMain);
    EXPECT_EQ(get.task, task);
    EXPECT_EQ(get.object["method"].asString(), "GET");
    EXPECT_EQ(server.lastRequest()->query, encoded);
    EXPECT_EQ(server.lastRequest()->body, "");

    Result& post = record();
    manager->POST("/p", parameters, post.success(), post.failure());
    finish(post);
    EXPECT_EQ(server.lastRequest()->body, encoded);
    EXPECT_EQ(server.lastRequest()->headers.get("Content-Type"), "application/x-www-form-urlencoded");

    Result& del = record();
    manager->DELETE("/d", parameters, del.success(), del.failure());
    finish(del);
    EXPECT_EQ(server.lastRequest()->method, "DELETE");
    EXPECT_EQ(server.lastRequest()->query, encoded);

    // HEAD: the success block gets the task alone.
    int heads = 0;
    NKHTTPSessionManager::DataTaskRef headTask;
    Result& headFailure = record();
    manager->HEAD("/h", parameters, [&](const auto& t) { ++heads, headTask = t; }, headFailure.failure());
    ASSERT_TRUE(waitFor([&] { return heads + headFailure.calls() > 0; }));
    EXPECT_EQ(heads, 1);
    EXPECT_TRUE(headTask);
    EXPECT_EQ(server.lastRequest()->method, "HEAD");
    EXPECT_EQ(server.lastRequest()->query, encoded);

    // PUT with a JSON body; a Content-Type the caller chose stays.
    manager->setRequestSerializer(NKJSONRequestSerializer::serializer());
    Result& put = record();
    manager->PUT("/u", parameters, put.success(), put.failure());
    finish(put);
    EXPECT_EQ(server.lastRequest()->body, "{\"n\":2,\"name\":\"粉丝\"}");
    EXPECT_EQ(server.lastRequest()->headers.get("Content-Type"), "application/json");
    manager->requestSerializer()->setValueForHTTPHeaderField(std::string("application/vnd.quill+json"), "Content-Type");
    Result& custom = record();
    manager->PUT("/u", parameters, custom.success(), custom.failure());
    finish(custom);
    EXPECT_EQ(server.lastRequest()->headers.get("Content-Type"), "application/vnd.quill+json");

    // PATCH with a property list; without parameters there is neither body nor type.
    manager->setRequestSerializer(NKPropertyListRequestSerializer::serializer());
    Result& patch = record();
    manager->PATCH("/a", parameters, patch.success(), patch.failure());
    finish(patch);
    EXPECT_EQ(patch.object["method"].asString(), "PATCH");
    EXPECT_EQ(server.lastRequest()->headers.get("Content-Type"), "application/x-plist");
    const std::string plist = server.lastRequest()->body;
    EXPECT_EQ(NSPropertyListSerialization::propertyListWithData(Bytes(plist.begin(), plist.end()), 0, nullptr)["name"].asString(), "粉丝");
    Result& bare = record();
    manager->PATCH("/a", Value(), bare.success(), bare.failure());
    finish(bare);
    EXPECT_EQ(server.lastRequest()->body, "");
    EXPECT_FALSE(server.lastRequest()->headers.get("Content-Type"));
    Result& query = record();
    manager->GET("/g", parameters, query.success(), query.failure());
    finish(query);
    EXPECT_EQ(server.lastRequest()->query, encoded);
}

TEST_F(HTTPSessionManager, MultipartPostsStreamTheWholeBodyWithItsLength)
{
    auto manager = make();
    server.on("/up", [](const Request& r) {
        return Reply::json("{\"length\":" + std::to_string(r.body.size()) + ",\"declared\":\"" + *r.headers.get("Content-Length") + "\"}");
    });
    Bytes picture(70000);
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<std::uint8_t>(i * 7);
    Result& result = record();
    auto task = manager->POST(server.url("/up"), Value::dictionary({ { "title", "t" } }),
        [&](NKMultipartFormData& form) {
            form.appendPartWithFileData(picture, "file", "a.jpg", "image/jpeg");
            // A caller's stream cannot be copied: the task sends it as it is.
            form.appendPartWithInputStream(NSInputStream::inputStreamWithData(bytes("streamed part")), "s", "s.txt", 13, "text/plain");
        },
        result.success(), result.failure());
    ASSERT_TRUE(task);
    EXPECT_EQ(task->kind(), NSURLSessionTask::Kind::Upload);
    finish(result);
    ASSERT_EQ(result.successes, 1) << result.error->description();
    EXPECT_EQ(result.object["length"].stringValue(), result.object["declared"].asString());
    const std::string body = server.lastRequest()->body;
    EXPECT_NE(body.find(std::string(picture.begin(), picture.end())), std::string::npos);
    EXPECT_NE(body.find("streamed part"), std::string::npos);
    EXPECT_EQ(body.find("Content-Disposition: form-data; name=\"title\""), body.find("Content-Disposition"));
}

TEST_F(HTTPSessionManager, BaseUrlsResolveRelativeAndAbsoluteStrings)
{
    auto withPath = make(server.url("/api"));
    EXPECT_EQ(withPath->baseURL()->absoluteString(), server.url("/api/"));
    auto bare = make(server.origin());
    EXPECT_EQ(bare->baseURL()->absoluteString(), server.origin());
    EXPECT_FALSE(make()->baseURL());

    Result& relative = record();

    Result& rooted = record();

    Result& absolute = record();

    Result& direct = record();
    withPath->GET("users", Value(), relative.success(), relative.failure());
    finish(relative);
    EXPECT_EQ(server.lastRequest()->path, "/api/users");
    withPath->GET("/users", Value(), rooted.success(), rooted.failure());
    finish(rooted);
    EXPECT_EQ(server.lastRequest()->path, "/users");
    httpserver::TestServer other;
    other.on("/there", Reply::json("{}"));
    withPath->GET(other.url("/there"), Value(), absolute.success(), absolute.failure());
    finish(absolute);
    EXPECT_EQ(other.requestCount("/there"), 1u);
    bare->GET("users", Value(), direct.success(), direct.failure());
    finish(direct);
    EXPECT_EQ(server.lastRequest()->path, "/users");
}

TEST_F(HTTPSessionManager, ARequestThatCannotBeBuiltFailsOnceWithoutATask)
{
    auto manager = make();
    manager->requestSerializer()->setQueryStringSerializationWithBlock([](const auto&, const Value&, NSErrorRef* error) {
        *error = NSError::errorWithDomain("test", 9);
        return std::optional<std::string>();
    });
    Result& result = record();
    auto task = manager->GET(server.url("/x"), Value::dictionary({ { "a", 1 } }), result.success(), result.failure());
    EXPECT_FALSE(task);
    EXPECT_EQ(result.calls(), 0); // never from inside the call
    finish(result);
    testing_support::settle(0.1);
    EXPECT_EQ(result.failures, 1);
    EXPECT_EQ(result.successes, 0);
    EXPECT_FALSE(result.task);
    EXPECT_EQ(result.error->code(), 9);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_TRUE(manager->tasks().empty());

    // Once the session is invalidated no task can be made either; the caller still hears of it.
    auto spent = make();
    auto session = spent->session();
    spent->invalidateSessionCancelingTasks(false);
    ASSERT_TRUE(waitFor([&] { return !session->delegate(); }));
    Result& late = record();
    EXPECT_FALSE(spent->POST(server.url("/x"), Value(), late.success(), late.failure()));
    finish(late);
    EXPECT_EQ(late.error->code(), NSURLErrorCancelled);
}

TEST_F(HTTPSessionManager, EmptyRepliesSucceedWithNoObjectWhateverTheirContentType)
{
    auto manager = make();
    server.on("/gone", Reply(204));
    server.on("/put", Reply(204).contentType("application/octet-stream"));
    server.on("/file", Reply(200, "0123456789").contentType("application/octet-stream"));
    Result& deleted = record();
    manager->DELETE(server.url("/gone"), Value(), deleted.success(), deleted.failure());
    Result& put = record();
    manager->PUT(server.url("/put"), Value(), put.success(), put.failure());
    Result& head = record();
    manager->HEAD(server.url("/file"), Value(), [&](const auto&) { ++head.successes; }, head.failure());
    for (Result* result : { &deleted, &put, &head }) {
        finish(*result);
        EXPECT_EQ(result->successes, 1) << (result->error ? result->error->description() : "");
        EXPECT_TRUE(result->object.isAbsent());
    }
}

TEST_F(HTTPSessionManager, WithoutARequestSerializerTheVerbsFailWithAnError)
{
    auto manager = make();
    manager->setRequestSerializer(nullptr);
    Result& get = record();
    EXPECT_FALSE(manager->GET(server.url("/x"), Value(), get.success(), get.failure()));
    Result& upload = record();
    EXPECT_FALSE(manager->POST(server.url("/x"), Value(), [](NKMultipartFormData&) { }, upload.success(), upload.failure()));
    for (Result* result : { &get, &upload }) {
        finish(*result);
        ASSERT_TRUE(result->error);
        EXPECT_EQ(result->error->domain(), NKURLRequestSerializationErrorDomain);
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(HTTPSessionManager, RepliesLongerThanTheLimitFailWithoutBeingHeld)
{
    constexpr std::uint64_t endless = std::uint64_t(1) << 62;
    server.on("/endless", Reply(200).contentType("text/plain").body(endless, httpserver::repeating("x")).chunked(65536));
    server.on("/huge", Reply(200).contentType("text/plain").body(1000000000000ull, httpserver::repeating("y")));
    server.on("/small", Reply::json("[1]"));
    auto manager = make();
    auto limited = make();
    limited->setMaximumResponseDataLength(2);
    Result& endlessResult = record();
    manager->GET(server.url("/endless"), Value(), endlessResult.success(), endlessResult.failure());
    Result& hugeResult = record();
    manager->GET(server.url("/huge"), Value(), hugeResult.success(), hugeResult.failure());
    Result& smallResult = record();
    limited->GET(server.url("/small"), Value(), smallResult.success(), smallResult.failure());
    for (Result* result : { &endlessResult, &hugeResult, &smallResult }) {
        ASSERT_TRUE(NetTest::waitFor([&] { return result->calls() == 1; }, 60));
        ASSERT_EQ(result->failures, 1);
        EXPECT_EQ(result->error->domain(), NSURLErrorDomain);
        EXPECT_EQ(result->error->code(), NSURLErrorDataLengthExceedsMaximum);
    }
}

TEST_F(HTTPSessionManager, FailuresCarryTheTaskAndRunOnTheCompletionQueueInTheGroup)
{
    auto manager = make();
    server.on("/broken", Reply::json("{\"e\":1}", 500));
    auto queue = dispatch_queue_create("test.completion");
    auto group = dispatch_group_create();
    manager->setCompletionQueue(queue);
    manager->setCompletionGroup(group);
    std::atomic<int> failures { 0 };
    std::atomic<bool> onMain { true };
    NSErrorRef error;
    NKHTTPSessionManager::DataTaskRef seen;
    auto task = manager->GET(server.url("/broken"), Value(), [](auto&, auto&) { ADD_FAILURE(); },
        [&](const auto& t, const NSErrorRef& e) {
            seen = t;
            error = e;
            onMain = NSThread::isMainThread();
            ++failures;
        });
    ASSERT_TRUE(waitFor([&] { return failures.load() == 1; }));
    EXPECT_EQ(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 5 * NSEC_PER_SEC)), 0);
    EXPECT_FALSE(onMain.load());
    EXPECT_EQ(seen, task);
    EXPECT_EQ(error->code(), -1011);
}

TEST_F(HTTPSessionManager, CopiesKeepTheBaseUrlAndCopyTheSerializersAndPolicy)
{
    auto configuration = NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("com.quill.bg");
    auto manager = keep(NKHTTPSessionManager::initWithBaseURL(NSURL::URLWithString(server.url("/api")), configuration));
    EXPECT_EQ(manager->sessionConfiguration()->identifier, "com.quill.bg");
    manager->setRequestSerializer(NKJSONRequestSerializer::serializerWithWritingOptions(1));
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    auto policy = NKSecurityPolicy::defaultPolicy(); // pins set below, not read from the bundle
    policy->setSSLPinningMode(NKSSLPinningModeCertificate);
    policy->setPinnedCertificates(std::vector<Bytes> { certs.localhost().certificate.der() });
    manager->setSecurityPolicy(policy);
    manager->setMaximumResponseDataLength(5);
    auto copy = keep(manager->copy());
    EXPECT_EQ(copy->maximumResponseDataLength(), 5u);
    EXPECT_EQ(copy->baseURL()->absoluteString(), server.url("/api/"));
    EXPECT_EQ(copy->session()->configuration()->identifier, "com.quill.bg");
    auto json = std::dynamic_pointer_cast<NKJSONRequestSerializer>(copy->requestSerializer());
    ASSERT_TRUE(json);
    EXPECT_NE(json, manager->requestSerializer());
    EXPECT_EQ(json->writingOptions(), 1u);
    EXPECT_FALSE(std::dynamic_pointer_cast<NKJSONResponseSerializer>(copy->responseSerializer()));
    EXPECT_NE(copy->responseSerializer(), manager->responseSerializer());
    EXPECT_EQ(copy->securityPolicy()->SSLPinningMode(), NKSSLPinningModeCertificate);
    EXPECT_TRUE(copy->securityPolicy()->pinnedCertificates());

    std::string text = manager->description();
    EXPECT_EQ(text.rfind("<NKHTTPSessionManager: 0x", 0), 0u);
    EXPECT_NE(text.find(", baseURL: " + server.url("/api/") + ", session: <NSURLSession: 0x"), std::string::npos);
    EXPECT_NE(text.find(", operationQueue: <NSOperationQueue: 0x"), std::string::npos);
    EXPECT_NE(make()->description().find("baseURL: (null)"), std::string::npos);
}

} // namespace
