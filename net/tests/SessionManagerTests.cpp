// The URL session manager over loopback HTTP and HTTPS: completion through the response
// serializer, the notifications and their order, resume and suspend announcements, progress,
// the block hooks, downloads moved to their destination, task lists, invalidation and the
// challenge blocks.
#include <filesystem>
#include <fstream>
#include <mutex>

#include "net/tests/SessionTestSupport.h"
#include "platform/network/URLError.h"
#include "testing/httpserver/Auth.h"
#include "testing/httpserver/Resource.h"

using namespace net::test;
using httpserver::Reply;
using httpserver::Request;
using httpserver::TestServer;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SessionManager : public SessionTest {
protected:
    std::shared_ptr<NKURLSessionManager> manager = keep(NKURLSessionManager::initWithSessionConfiguration());
};

TEST_F(SessionManager, ADataTaskCompletesOnceOnMainThenAnnouncesItself)
{
    server.on("/j", Reply::json("{\"a\":[1,2]}"));
    NotificationLog log({ NKNetworkingTaskDidResumeNotification, NKNetworkingTaskDidCompleteNotification });
    std::vector<std::string> order;
    auto center = NSNotificationCenter::defaultCenter();
    auto token = center->addObserverForName(NKNetworkingTaskDidCompleteNotification, nullptr, nullptr,
        [&](const auto&) { order.push_back("notification"); });
    Outcome& outcome = recorder();
    auto task = manager->dataTaskWithRequest(request("/j"), [&, h = outcome.handler()](auto r, auto o, auto e) {
        order.push_back("handler");
        h(r, o, e);
    });
    ASSERT_TRUE(task);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    EXPECT_EQ(task->taskDescription(), manager->taskDescriptionForSessionTasks());
    task->resume();
    ASSERT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidCompleteNotification) == 1; }));
    center->removeObserver(token.get());

    EXPECT_EQ(outcome.calls, 1);
    EXPECT_TRUE(outcome.onMain);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.object["a"][1].integerValue(), 2);
    EXPECT_EQ(std::dynamic_pointer_cast<NSHTTPURLResponse>(outcome.response)->statusCode(), 200);
    EXPECT_EQ(order, (std::vector<std::string> { "handler", "notification" }));
    EXPECT_EQ(log.names(), (std::vector<std::string> { NKNetworkingTaskDidResumeNotification, NKNetworkingTaskDidCompleteNotification }));
    for (const auto& seen : log.seen())
        EXPECT_TRUE(seen.onMain);

    auto done = log.last(NKNetworkingTaskDidCompleteNotification);
    EXPECT_EQ(done->object(), task);
    const Value& info = done->userInfo();
    EXPECT_EQ(info[NKNetworkingTaskDidCompleteResponseSerializerKey].asObject(), manager->responseSerializer());
    EXPECT_EQ(text(info[NKNetworkingTaskDidCompleteResponseDataKey].asData()), "{\"a\":[1,2]}");
    EXPECT_EQ(info[NKNetworkingTaskDidCompleteSerializedResponseKey]["a"].count(), 2u);
    EXPECT_FALSE(info.contains(NKNetworkingTaskDidCompleteErrorKey));
    EXPECT_FALSE(info.contains(NKNetworkingTaskDidCompleteAssetPathKey));
    // The delegate goes with the task (right after its completion work was queued).
    EXPECT_TRUE(waitFor([&] { return !manager->uploadProgressForTask(task); }));
}

TEST_F(SessionManager, TransportAndSerializationErrorsReachTheHandler)
{
    // A transport error: no response object, the error as it came.
    std::string refused;
    {
        TestServer gone;
        refused = gone.url("/x");
    }
    NotificationLog log({ NKNetworkingTaskDidCompleteNotification });
    Outcome& lost = recorder();
    auto r = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(refused));
    manager->dataTaskWithRequest(r, lost.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidCompleteNotification) == 1; }));
    EXPECT_EQ(lost.calls, 1);
    ASSERT_TRUE(lost.error);
    EXPECT_EQ(lost.error->code(), NSURLErrorCannotConnectToHost);
    EXPECT_TRUE(lost.object.isAbsent());
    const Value& info = log.last(NKNetworkingTaskDidCompleteNotification)->userInfo();
    EXPECT_EQ(info[NKNetworkingTaskDidCompleteErrorKey].asObject(), lost.error);
    EXPECT_TRUE(info[NKNetworkingTaskDidCompleteResponseDataKey].isData());
    EXPECT_EQ(info[NKNetworkingTaskDidCompleteResponseDataKey].count(), 0u);
    EXPECT_FALSE(info.contains(NKNetworkingTaskDidCompleteSerializedResponseKey));

    // A reply the serializer refuses: its error, the body still under the data key.
    server.on("/missing", Reply::json("{\"why\":\"gone\"}", 404));
    Outcome& refusedReply = recorder();
    manager->dataTaskWithRequest(request("/missing"), refusedReply.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidCompleteNotification) == 2; }));
    ASSERT_TRUE(refusedReply.error);
    EXPECT_EQ(refusedReply.error->domain(), "com.pendrasil.error.serialization.response");
    EXPECT_EQ(refusedReply.error->code(), -1011);
    const Value& second = log.last(NKNetworkingTaskDidCompleteNotification)->userInfo();
    EXPECT_EQ(second[NKNetworkingTaskDidCompleteErrorKey].asObject(), refusedReply.error);
    EXPECT_EQ(text(second[NKNetworkingTaskDidCompleteResponseDataKey].asData()), "{\"why\":\"gone\"}");

    // No body at all still goes through the serializer as empty data.
    server.on("/empty", Reply(204));
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    Outcome& empty = recorder();
    manager->dataTaskWithRequest(request("/empty"), empty.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidCompleteNotification) == 3; }));
    EXPECT_FALSE(empty.error);
    EXPECT_TRUE(empty.object.isData());
    EXPECT_EQ(log.last(NKNetworkingTaskDidCompleteNotification)->userInfo()[NKNetworkingTaskDidCompleteResponseDataKey].count(), 0u);
}

TEST_F(SessionManager, ResumeAndSuspendAreAnnouncedOnlyForTheManagersOwnTasksAndRealChanges)
{
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/held", Reply::text("late").waitBeforeHead(gate));
    NotificationLog log({ NSURLSessionTaskDidResumeNotification, NSURLSessionTaskDidSuspendNotification,
        NKNetworkingTaskDidResumeNotification, NKNetworkingTaskDidSuspendNotification });
    Outcome& outcome = recorder();
    auto task = manager->dataTaskWithRequest(request("/held"), outcome.handler());
    task->suspend(); // already suspended
    task->resume();
    task->resume(); // already running
    ASSERT_TRUE(server.waitForRequests(1));
    task->suspend();
    task->suspend(); // already suspended
    task->resume();
    ASSERT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidResumeNotification) == 2; }));
    EXPECT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidSuspendNotification) == 1; }));
    EXPECT_EQ(log.count(NSURLSessionTaskDidResumeNotification, task.get()), 2u);
    EXPECT_EQ(log.count(NSURLSessionTaskDidSuspendNotification, task.get()), 1u);
    for (const auto& seen : log.seen()) {
        if (seen.notification->name().rfind("com.pendrasil.networking.task.", 0) == 0) {
            EXPECT_TRUE(seen.onMain);
            EXPECT_EQ(seen.notification->object(), task);
        }
    }

    // A task of another manager is not announced by this one.
    auto other = keep(NKURLSessionManager::initWithSessionConfiguration());
    EXPECT_NE(other->taskDescriptionForSessionTasks(), manager->taskDescriptionForSessionTasks());
    auto foreign = other->dataTaskWithRequest(request("/held"), nullptr);
    foreign->resume();
    ASSERT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidResumeNotification, foreign.get()) == 1; }));
    testing_support::settle(0.2);
    EXPECT_EQ(log.count(NKNetworkingTaskDidResumeNotification, foreign.get()), 1u); // from `other` alone
    gate->open();
    ASSERT_TRUE(waitFor([&] { return outcome.calls == 1; }));
}

// A completed or cancelling task does not run again, yet resuming it is announced like any
// resume of a task that was not running, and suspending it likewise.
TEST_F(SessionManager, ResumingAFinishedOrCancelledTaskIsAnnouncedAllTheSame)
{
    server.on("/done", Reply::text("done"));
    NotificationLog log({ NSURLSessionTaskDidResumeNotification, NSURLSessionTaskDidSuspendNotification,
        NKNetworkingTaskDidResumeNotification });
    auto done = manager->dataTaskWithRequest(request("/done"), nullptr);
    done->resume();
    ASSERT_TRUE(waitFor([&] { return done->state() == NSURLSessionTaskStateCompleted; }));
    done->resume();
    done->suspend();
    EXPECT_EQ(done->state(), NSURLSessionTaskStateCompleted);
    EXPECT_EQ(log.count(NSURLSessionTaskDidSuspendNotification, done.get()), 1u);
    EXPECT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidResumeNotification, done.get()) == 2; }));
    auto dropped = manager->dataTaskWithRequest(request("/done"), nullptr);
    dropped->cancel();
    dropped->resume();
    EXPECT_EQ(log.count(NSURLSessionTaskDidResumeNotification, dropped.get()), 1u);
    EXPECT_NE(dropped->state(), NSURLSessionTaskStateRunning);
}

TEST_F(SessionManager, UploadProgressFollowsTheBytesSentAndFallsBackToTheDeclaredLength)
{
    server.on("/up", [](const Request& r) { return Reply::text(std::to_string(r.body.size())); });
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    std::shared_ptr<NSProgress> progress;
    Outcome& outcome = recorder();
    auto task = manager->uploadTaskWithRequestFromData(request("/up", "POST"), Bytes(5000, 'u'), &progress, outcome.handler());
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress, manager->uploadProgressForTask(task));
    EXPECT_EQ(progress, manager->downloadProgressForTask(task));
    EXPECT_EQ(progress->totalUnitCount(), 5000);
    std::vector<double> fractions;
    std::mutex mutex;
    auto observation = progress->observe("fractionCompleted", NSKeyValueObservingOptionNew, [&](auto&, auto*, const Value& change) {
        std::lock_guard lock(mutex);
        fractions.push_back(change[NSKeyValueChangeNewKey].doubleValue());
    });
    task->resume();
    ASSERT_TRUE(waitFor([&] { return outcome.calls == 1; }));
    EXPECT_EQ(text(outcome.object.asData()), "5000");
    EXPECT_EQ(progress->completedUnitCount(), 5000);
    EXPECT_DOUBLE_EQ(progress->fractionCompleted(), 1.0);
    std::lock_guard lock(mutex);
    ASSERT_FALSE(fractions.empty());
    EXPECT_DOUBLE_EQ(fractions.back(), 1.0);

    // A streamed body of unknown size is measured by its Content-Length.
    std::vector<std::int64_t> totals;
    manager->setTaskDidSendBodyDataBlock([&](auto&, auto&, std::int64_t, std::int64_t, std::int64_t total) { totals.push_back(total); });
    manager->setTaskNeedNewBodyStreamBlock([](auto&, auto&) { return NSInputStream::inputStreamWithData(Bytes(1000, 's')); });
    auto streamed = request("/up", "POST");
    streamed->setValueForHTTPHeaderField(std::string("1000"), "Content-Length");
    std::shared_ptr<NSProgress> streamProgress;
    Outcome& second = recorder();
    manager->uploadTaskWithStreamedRequest(streamed, &streamProgress, second.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return second.calls == 1; }));
    EXPECT_EQ(text(second.object.asData()), "1000");
    EXPECT_EQ(streamProgress->totalUnitCount(), 1000);
    EXPECT_EQ(streamProgress->completedUnitCount(), 1000);
    ASSERT_FALSE(totals.empty());
    EXPECT_EQ(totals.back(), 1000);
}

TEST_F(SessionManager, UploadProgressPausesAndCancelsItsTask)
{
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/slow", Reply::text("x").waitBeforeHead(gate));
    std::shared_ptr<NSProgress> progress;
    Outcome& outcome = recorder();
    auto task = manager->uploadTaskWithRequestFromData(request("/slow", "POST"), Bytes(10, 'b'), &progress, outcome.handler());
    task->resume();
    ASSERT_TRUE(server.waitForRequests(1));
    progress->pause();
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    progress->cancel();
    ASSERT_TRUE(waitFor([&] { return outcome.calls == 1; }));
    gate->open();
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), NSURLErrorCancelled);
    EXPECT_TRUE(progress->isCancelled());
}

TEST_F(SessionManager, DownloadsMoveToTheirDestination)
{
    std::string body(200000, 'D');
    body.back() = 'Z';
    server.on("/file", Reply(200, body).contentType("application/octet-stream"));
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    NotificationLog log({ NKNetworkingTaskDidCompleteNotification, NKURLSessionDownloadTaskDidFailToMoveFileNotification });
    std::string target = home.pathFor("Documents/file.bin");
    std::filesystem::create_directories(home.pathFor("Documents"));
    std::shared_ptr<NSProgress> progress;
    std::optional<NSURL> temporary;
    Outcome& outcome = recorder();
    auto task = manager->downloadTaskWithRequest(request("/file"), &progress,
        [&](const NSURL& location, const std::shared_ptr<NSURLResponse>& response) {
            temporary = location;
            EXPECT_TRUE(response);
            return NSURL::fileURLWithPath(target);
        },
        outcome.handler());
    task->resume();
    ASSERT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidCompleteNotification) == 1; }));
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(readFile(target), body);
    ASSERT_TRUE(temporary);
    EXPECT_FALSE(std::filesystem::exists(temporary->path()));
    EXPECT_EQ(NSURL::URLWithString(outcome.object.asString())->path(), target);
    EXPECT_EQ(progress->totalUnitCount(), 200000);
    EXPECT_EQ(progress->completedUnitCount(), 200000);
    const Value& info = log.last(NKNetworkingTaskDidCompleteNotification)->userInfo();
    EXPECT_EQ(info[NKNetworkingTaskDidCompleteAssetPathKey].asString(), outcome.object.asString());
    EXPECT_EQ(info[NKNetworkingTaskDidCompleteSerializedResponseKey].asString(), outcome.object.asString());
    EXPECT_FALSE(info.contains(NKNetworkingTaskDidCompleteResponseDataKey));

    // A destination of none keeps nothing: the empty body goes through the serializer.
    Outcome& kept = recorder();
    manager->downloadTaskWithRequest(request("/file"), nullptr, [](auto&, auto&) { return std::nullopt; }, kept.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidCompleteNotification) == 2; }));
    EXPECT_FALSE(kept.error);
    EXPECT_EQ(kept.object.count(), 0u);
    const Value& none = log.last(NKNetworkingTaskDidCompleteNotification)->userInfo();
    EXPECT_TRUE(none.contains(NKNetworkingTaskDidCompleteResponseDataKey));
    EXPECT_FALSE(none.contains(NKNetworkingTaskDidCompleteAssetPathKey));
    EXPECT_EQ(log.count(NKURLSessionDownloadTaskDidFailToMoveFileNotification), 0u);
}

TEST_F(SessionManager, AFailedMoveCompletesWithTheFileErrorNotWithSuccess)
{
    server.on("/file", Reply(200, "payload").contentType("application/octet-stream"));
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    NotificationLog log({ NKNetworkingTaskDidCompleteNotification, NKURLSessionDownloadTaskDidFailToMoveFileNotification });
    // The destination exists already: the move must fail and say so.
    std::string taken = home.pathFor("taken.bin");
    std::ofstream(taken) << "mine";
    Outcome& outcome = recorder();
    auto task = manager->downloadTaskWithRequest(request("/file"), nullptr,
        [&](auto&, auto&) { return NSURL::fileURLWithPath(taken); }, outcome.handler());
    task->resume();
    ASSERT_TRUE(waitFor([&] { return outcome.calls == 1; }));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), 516);
    EXPECT_TRUE(outcome.object.isAbsent());
    EXPECT_EQ(readFile(taken), "mine");
    ASSERT_EQ(log.count(NKURLSessionDownloadTaskDidFailToMoveFileNotification, task.get()), 1u);
    EXPECT_FALSE(log.last(NKURLSessionDownloadTaskDidFailToMoveFileNotification)->userInfo().isAbsent());
    ASSERT_TRUE(waitFor([&] { return log.count(NKNetworkingTaskDidCompleteNotification) == 1; }));
    const Value& info = log.last(NKNetworkingTaskDidCompleteNotification)->userInfo();
    EXPECT_EQ(info[NKNetworkingTaskDidCompleteErrorKey].asObject(), outcome.error);
    EXPECT_FALSE(info.contains(NKNetworkingTaskDidCompleteAssetPathKey));

    // The same through the manager's own block, into a folder that does not exist.
    std::string nowhere = home.pathFor("no/such/folder/file.bin");
    std::optional<NSURL> temporary;
    manager->setDownloadTaskDidFinishDownloadingBlock([&](auto&, auto&, const NSURL& location) {
        temporary = location;
        return std::optional(NSURL::fileURLWithPath(nowhere));
    });
    Outcome& second = recorder();
    manager->downloadTaskWithRequest(request("/file"), nullptr, nullptr, second.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return second.calls == 1; }));
    ASSERT_TRUE(second.error);
    EXPECT_EQ(log.count(NKURLSessionDownloadTaskDidFailToMoveFileNotification), 2u);
    EXPECT_FALSE(std::filesystem::exists(nowhere));

    // And a working move through the block.
    std::string there = home.pathFor("there.bin");
    manager->setDownloadTaskDidFinishDownloadingBlock([&](auto&, auto&, const NSURL&) { return std::optional(NSURL::fileURLWithPath(there)); });
    Outcome& third = recorder();
    manager->downloadTaskWithRequest(request("/file"), nullptr, nullptr, third.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return third.calls == 1; }));
    EXPECT_FALSE(third.error);
    EXPECT_EQ(readFile(there), "payload");
    EXPECT_EQ(NSURL::URLWithString(third.object.asString())->path(), there);
}

TEST_F(SessionManager, AResumedDownloadStartsItsProgressAtTheOffset)
{
    httpserver::Resource resource;
    resource.body = std::string(300000, 'R');
    resource.body.back() = 'Z';
    resource.etag = "\"r1\"";
    server.on("/slow", Reply::text(resource.body).header("ETag", "\"r1\"").trickle(50000, std::chrono::milliseconds(30)));
    server.on("/slow-range", httpserver::serve(resource));
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    Outcome& first = recorder();
    auto slow = manager->downloadTaskWithRequest(request("/slow"), nullptr, nullptr, first.handler());
    slow->resume();
    ASSERT_TRUE(waitFor([&] { return slow->countOfBytesReceived() >= 50000; }));
    // The resume data comes on another thread.
    std::mutex resumeLock;
    std::optional<Bytes> resumeData;
    slow->cancelByProducingResumeData([&](std::optional<Bytes> data) {
        std::lock_guard lock(resumeLock);
        resumeData = std::move(data);
    });
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lock(resumeLock);
        return resumeData && first.calls == 1;
    }));
    EXPECT_EQ(first.error->code(), NSURLErrorCancelled);

    std::string data(resumeData->begin(), resumeData->end());
    data.replace(data.find("/slow"), 5, "/slow-range");
    std::vector<std::pair<std::int64_t, std::int64_t>> resumedAt;
    manager->setDownloadTaskDidResumeBlock([&](auto&, auto&, std::int64_t offset, std::int64_t total) { resumedAt.emplace_back(offset, total); });
    std::shared_ptr<NSProgress> progress;
    std::vector<std::int64_t> completed;
    std::mutex mutex;
    std::string target = home.pathFor("whole.bin");
    Outcome& second = recorder();
    auto task = manager->downloadTaskWithResumeData(Bytes(data.begin(), data.end()), &progress,
        [&](auto&, auto&) { return NSURL::fileURLWithPath(target); }, second.handler());
    ASSERT_TRUE(task);
    auto observation = progress->observe("completedUnitCount", NSKeyValueObservingOptionNew, [&](auto&, auto*, const Value& change) {
        std::lock_guard lock(mutex);
        completed.push_back(change[NSKeyValueChangeNewKey].integerValue());
    });
    task->resume();
    ASSERT_TRUE(waitFor([&] { return second.calls == 1; }));
    ASSERT_FALSE(second.error) << second.error->description();
    EXPECT_EQ(readFile(target), resource.body);
    ASSERT_EQ(resumedAt.size(), 1u);
    EXPECT_GE(resumedAt[0].first, 50000);
    EXPECT_EQ(resumedAt[0].second, 300000);
    std::lock_guard lock(mutex);
    ASSERT_FALSE(completed.empty());
    EXPECT_EQ(completed.front(), resumedAt[0].first);
    EXPECT_EQ(completed.back(), 300000);
    EXPECT_EQ(progress->totalUnitCount(), 300000);
}

TEST_F(SessionManager, BlocksHookRedirectsResponsesDataAndCompletion)
{
    server.on("/from", Reply::redirect(302, "/to"));
    server.on("/to", Reply::text("arrived"));
    server.on("/elsewhere", Reply::text("rerouted"));
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    // Without their blocks the optional callbacks are left to the session.
    EXPECT_FALSE(manager->respondsTo(NSURLSessionDelegateMethod::WillPerformHTTPRedirection));
    EXPECT_FALSE(manager->respondsTo(NSURLSessionDelegateMethod::DidReceiveResponse));
    EXPECT_FALSE(manager->respondsTo(NSURLSessionDelegateMethod::WillCacheResponse));
    EXPECT_FALSE(manager->respondsTo(NSURLSessionDelegateMethod::DidFinishEventsForBackgroundURLSession));
    EXPECT_TRUE(manager->respondsTo(NSURLSessionDelegateMethod::DidReceiveChallenge));
    Outcome& followed = recorder();
    manager->dataTaskWithRequest(request("/from"), followed.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return followed.calls == 1; }));
    EXPECT_EQ(text(followed.object.asData()), "arrived");
    drainDelegateQueue(manager); // its completion callback is over before the blocks are set

    // The blocks run on the delegate queue.
    std::mutex mutex;
    std::vector<std::string> events;
    auto note = [&](std::string event) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    };
    auto noted = [&] {
        std::lock_guard lock(mutex);
        return events;
    };
    manager->setTaskWillPerformHTTPRedirectionBlock([&](auto&, auto&, auto&, const std::shared_ptr<NSURLRequest>& proposed) {
        note("redirect " + proposed->URL()->path());
        return request("/elsewhere");
    });
    manager->setDataTaskDidReceiveResponseBlock([&](auto&, auto&, const std::shared_ptr<NSURLResponse>& response) {
        note("response " + response->URL()->path());
        return NSURLSessionResponseAllow;
    });
    Bytes seen;
    manager->setDataTaskDidReceiveDataBlock([&](auto&, auto&, const Bytes& data) {
        std::lock_guard lock(mutex);
        seen.insert(seen.end(), data.begin(), data.end());
    });
    manager->setTaskDidCompleteBlock([&](auto&, auto&, const NSErrorRef& error) { note(error ? "failed" : "complete"); });
    EXPECT_TRUE(manager->respondsTo(NSURLSessionDelegateMethod::WillPerformHTTPRedirection));
    EXPECT_TRUE(manager->respondsTo(NSURLSessionDelegateMethod::DidReceiveResponse));
    Outcome& rerouted = recorder();
    manager->dataTaskWithRequest(request("/from"), rerouted.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return rerouted.calls == 1 && noted().size() == 3; }));
    EXPECT_EQ(text(rerouted.object.asData()), "rerouted");
    EXPECT_EQ(noted(), (std::vector<std::string> { "redirect /to", "response /elsewhere", "complete" }));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(text(seen), "rerouted");
    }
    EXPECT_EQ(server.requestCount("/to"), 1u);

    // A redirect answered with none delivers the redirect itself; a response refused cancels.
    manager->setTaskWillPerformHTTPRedirectionBlock([](auto&, auto&, auto&, auto&) { return std::shared_ptr<NSURLRequest>(); });
    manager->setDataTaskDidReceiveResponseBlock([](auto&, auto&, auto&) { return NSURLSessionResponseCancel; });
    Outcome& refused = recorder();
    manager->dataTaskWithRequest(request("/from"), refused.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return refused.calls == 1; }));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code(), NSURLErrorCancelled);
    EXPECT_EQ(server.requestCount("/to"), 1u);
    drainDelegateQueue(manager); // the completion block, which sees this test's locals, has run
}

// What the security policy decides is in the managers' trust cases.
TEST_F(SessionManager, ChallengesGoToTheBlocks)
{
    TestServer tls(TestServer::https(certs.localhost()));
    // Every request makes a new connection, so every one meets the trust decision.
    tls.on("/", Reply::json("{\"tls\":true}").closeConnection());
    auto get = [](const TestServer& s) { return NSMutableURLRequest::requestWithURL(NSURL::URLWithString(s.url("/"))); };

    // A session challenge block decides instead of the policy.
    std::vector<std::string> methods;
    manager->setSessionDidReceiveAuthenticationChallengeBlock([&](auto&, const auto& challenge, auto& credential) {
        methods.push_back(challenge->protectionSpace()->authenticationMethod());
        credential = NSURLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust());
        return NSURLSessionAuthChallengeUseCredential;
    });
    Outcome& byBlock = recorder();
    manager->dataTaskWithRequest(get(tls), byBlock.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return byBlock.calls == 1; }));
    EXPECT_FALSE(byBlock.error);
    EXPECT_EQ(methods, (std::vector<std::string> { NSURLAuthenticationMethodServerTrust }));

    // HTTP authentication comes to the task's challenge block.
    server.on("/private", httpserver::basicAuth("ann", "secret", [](const Request&) { return Reply::json("{\"in\":1}"); }));
    int asked = 0;
    manager->setTaskDidReceiveAuthenticationChallengeBlock([&](auto&, auto&, const auto& challenge, auto& credential) {
        ++asked;
        if (challenge->previousFailureCount() > 0)
            return NSURLSessionAuthChallengeCancelAuthenticationChallenge;
        credential = NSURLCredential::credentialWithUser("ann", "secret", NSURLCredentialPersistenceNone);
        return NSURLSessionAuthChallengeUseCredential;
    });
    Outcome& inside = recorder();
    manager->dataTaskWithRequest(request("/private"), inside.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return inside.calls == 1; }));
    EXPECT_FALSE(inside.error);
    EXPECT_EQ(inside.object["in"].integerValue(), 1);
    EXPECT_EQ(asked, 1);
}

TEST_F(SessionManager, TaskListsNameTheSessionsTasksByKind)
{
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/held", Reply::text("x").waitBeforeHead(gate));
    auto data = manager->dataTaskWithRequest(request("/held"), nullptr);
    auto upload = manager->uploadTaskWithRequestFromData(request("/held", "POST"), Bytes(3, 'u'), nullptr, nullptr);
    auto download = manager->downloadTaskWithRequest(request("/held"), nullptr, nullptr, nullptr);
    EXPECT_EQ(manager->tasks().size(), 3u);
    ASSERT_EQ(manager->dataTasks().size(), 1u);
    EXPECT_EQ(manager->dataTasks()[0], data);
    ASSERT_EQ(manager->uploadTasks().size(), 1u);
    EXPECT_EQ(manager->uploadTasks()[0], upload);
    ASSERT_EQ(manager->downloadTasks().size(), 1u);
    EXPECT_EQ(manager->downloadTasks()[0], download);

    // Asked from the delegate queue, where the answer would have to come, it does not wait.
    std::atomic<bool> answered { false };
    std::size_t fromQueue = 99;
    manager->operationQueue()->addOperationWithBlock([&] {
        fromQueue = manager->tasks().size();
        answered = true;
    });
    ASSERT_TRUE(waitFor([&] { return answered.load(); }));
    EXPECT_EQ(fromQueue, 0u);
    gate->open();
}

TEST_F(SessionManager, InvalidationCancelsOrLetsTasksFinishThenAnnouncesItself)
{
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/held", Reply::json("{\"ok\":1}").waitBeforeHead(gate));
    NotificationLog log({ NKURLSessionDidInvalidateNotification });
    std::atomic<int> invalidBlock { 0 };
    manager->setSessionDidBecomeInvalidBlock([&](auto&, auto&) { ++invalidBlock; });
    Outcome& cancelled = recorder();
    auto held = manager->dataTaskWithRequest(request("/held"), cancelled.handler());
    held->resume();
    ASSERT_TRUE(server.waitForRequests(1));
    auto session = manager->session();
    manager->invalidateSessionCancelingTasks(true);
    ASSERT_TRUE(waitFor([&] { return log.count(NKURLSessionDidInvalidateNotification) == 1 && cancelled.calls == 1; }));
    EXPECT_EQ(cancelled.error->code(), NSURLErrorCancelled);
    EXPECT_EQ(invalidBlock.load(), 1);
    EXPECT_EQ(log.seen()[0].notification->object(), session);
    EXPECT_FALSE(log.seen()[0].onMain); // posted on the delegate queue
    EXPECT_FALSE(manager->dataTaskWithRequest(request("/held"), nullptr));
    gate->open();

    // Without cancelling, a running task finishes first.
    auto gentle = keep(NKURLSessionManager::initWithSessionConfiguration());
    auto slow = std::make_shared<httpserver::Gate>();
    server.on("/slow", Reply::json("{\"ok\":2}").waitBeforeHead(slow));
    Outcome& finished = recorder();
    std::shared_ptr<NSProgress> progress;
    auto task = gentle->uploadTaskWithRequestFromData(request("/slow", "POST"), Bytes(4, 'p'), &progress, finished.handler());
    task->resume();
    ASSERT_TRUE(server.waitForRequests(2));
    gentle->invalidateSessionCancelingTasks(false);
    testing_support::settle(0.1);
    EXPECT_EQ(log.count(NKURLSessionDidInvalidateNotification), 1u);
    slow->open();
    ASSERT_TRUE(waitFor([&] { return log.count(NKURLSessionDidInvalidateNotification) == 2 && finished.calls == 1; }));
    EXPECT_FALSE(finished.error);
    EXPECT_EQ(finished.object["ok"].integerValue(), 2);
    EXPECT_FALSE(gentle->uploadProgressForTask(task));
}

TEST(Progress, CountsFractionsAndOneShotHandlers)
{
    auto progress = NSProgress::progressWithTotalUnitCount(0);
    EXPECT_EQ(progress->fractionCompleted(), 0.0); // unknown total: no division by zero
    progress->setCompletedUnitCount(5);
    EXPECT_EQ(progress->fractionCompleted(), 0.0);
    progress->setTotalUnitCount(20);
    EXPECT_DOUBLE_EQ(progress->fractionCompleted(), 0.25);
    int cancels = 0, pauses = 0, resumes = 0;
    progress->setCancellationHandler([&] { ++cancels; });
    progress->setPausingHandler([&] { ++pauses; });
    progress->setResumingHandler([&] { ++resumes; });
    progress->resume(); // not paused
    progress->pause();
    progress->pause();
    progress->resume();
    progress->cancel();
    progress->cancel();
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(resumes, 1);
    EXPECT_TRUE(progress->isCancelled());
    EXPECT_FALSE(progress->isPaused());
}

} // namespace
