// NSURLSession against the loopback server: task states and notifications, delegate calls on
// the delegate queue, completion handlers, uploads of every kind, downloads to temporary files
// and their resumption, cancellation, challenges and invalidation.
#include <gtest/gtest.h>

#include <mutex>

#include "platform/network/URLError.h"
#include "platform/network/tests/SessionDelegate.h"
#include "testing/httpserver/Resource.h"

using httpserver::Reply;
using httpserver::Request;
using httpserver::TestServer;

namespace {

class Session : public network::test::SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        open();
    }
};

// The resume and suspend notifications are tested with the HTTP stack's session manager.
TEST_F(Session, TasksStartSuspendedRunAndComplete)
{
    server.on("/x", Reply::text("x"));
    auto task = session->dataTaskWithRequest(request("/x"));
    auto second = session->dataTaskWithRequest(request("/x"));
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    EXPECT_LT(task->taskIdentifier(), second->taskIdentifier());
    task->resume();
    EXPECT_EQ(task->state(), NSURLSessionTaskStateRunning);
    ASSERT_TRUE(waitCompleted());
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
}

TEST_F(Session, DataTaskReportsToTheDelegateInOrder)
{
    server.on("/d", Reply::text("data task body"));
    auto task = session->dataTaskWithRequest(request("/d"));
    task->resume();
    ASSERT_TRUE(waitCompleted());
    EXPECT_EQ(delegate->order(), "response data complete");
    EXPECT_EQ(std::string(delegate->body.begin(), delegate->body.end()), "data task body");
    EXPECT_EQ(task->countOfBytesReceived(), 14);
    EXPECT_FALSE(delegate->error);
}

TEST_F(Session, ACompletionHandlerReplacesTheDataCallsButNotCompletion)
{
    server.on("/h", Reply::text("handled"));
    std::optional<Bytes> got;
    bool called = false;
    session->dataTaskWithRequest(request("/h"), [&](std::optional<Bytes> data, auto, auto) {
        got = std::move(data);
        called = true;
    })->resume();
    ASSERT_TRUE(waitCompleted());
    ASSERT_TRUE(testing_support::runUntil([&] { return called; }));
    EXPECT_EQ(std::string(got->begin(), got->end()), "handled");
    EXPECT_EQ(delegate->order(), "complete");
}

TEST_F(Session, ResponseDispositionCancelEndsTheTaskAsCancelled)
{
    server.on("/r", Reply::text("never read"));
    delegate->disposition = NSURLSessionResponseCancel;
    session->dataTaskWithRequest(request("/r"))->resume();
    ASSERT_TRUE(waitCompleted());
    EXPECT_EQ(delegate->order(), "response complete");
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->code(), NSURLErrorCancelled);
}

TEST_F(Session, UploadsFromDataFileAndStream)
{
    server.on("/up", [](const Request& r) { return Reply::text(std::to_string(r.body.size()) + ":" + r.body.substr(0, 3)); });
    std::string reply;
    auto capture = [&](std::optional<Bytes> data, auto, auto) { reply.assign(data->begin(), data->end()); };
    session->uploadTaskWithRequest(request("/up", "POST"), Bytes(5000, 'a'), capture)->resume();
    ASSERT_TRUE(waitCompleted());
    EXPECT_EQ(reply, "5000:aaa");
    EXPECT_EQ(delegate->order(), "sent complete");

    std::string file = home.pathFor("upload.bin");
    std::ofstream(file) << std::string(70000, 'f');
    delegate->completed = false;
    session->uploadTaskWithRequestFromFile(request("/up", "PUT"), NSURL::fileURLWithPath(file), capture)->resume();
    ASSERT_TRUE(waitCompleted());
    EXPECT_EQ(reply, "70000:fff");

    delegate->completed = false;
    delegate->events.clear();
    delegate->stream = [] { return NSInputStream::inputStreamWithData(Bytes(1234, 's')); };
    session->uploadTaskWithStreamedRequest(request("/up", "POST"))->resume();
    ASSERT_TRUE(waitCompleted());
    EXPECT_EQ(delegate->order(), "needStream sent response data complete");
    EXPECT_EQ(std::string(delegate->body.begin(), delegate->body.end()), "1234:sss");
}

TEST_F(Session, DownloadGoesToATemporaryFileRemovedAfterTheDelegateCall)
{
    server.on("/file", Reply::text(std::string(200000, 'D')));
    session->downloadTaskWithRequest(request("/file"))->resume();
    ASSERT_TRUE(waitCompleted());
    EXPECT_EQ(delegate->order(), "wrote downloaded complete");
    EXPECT_EQ(delegate->downloaded.size(), 200000u);
    EXPECT_TRUE(delegate->downloadFileExisted);
    EXPECT_FALSE(std::filesystem::exists(delegate->movedTo));
}

TEST_F(Session, ACancelledDownloadResumesWithARangeRequest)
{
    httpserver::Resource resource;
    resource.body = std::string(300000, 'R');
    resource.body[299999] = 'Z';
    resource.etag = "\"r1\"";
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/big", [&, serve = httpserver::serve(resource)](const Request& r) {
        if (r.headers.has("Range"))
            return serve(r);
        return Reply::text(resource.body).header("ETag", "\"r1\"").closeAfter(100000).waitBeforeBody(nullptr);
    });
    auto task = session->downloadTaskWithRequest(request("/big"));
    task->resume();
    ASSERT_TRUE(waitCompleted()); // cut after 100000 bytes: -1005
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->code(), NSURLErrorNetworkConnectionLost);

    // A download stopped on purpose can be continued.
    server.on("/slow", Reply::text(resource.body).header("ETag", "\"r1\"").trickle(50000, std::chrono::milliseconds(30)));
    server.on("/slow-range", httpserver::serve(resource));
    delegate->completed = false;
    auto slow = session->downloadTaskWithRequest(request("/slow"));
    slow->resume();
    ASSERT_TRUE(testing_support::runUntil([&] { return slow->countOfBytesReceived() >= 50000; }));
    // The resume data comes on another thread.
    std::mutex resumeLock;
    std::optional<Bytes> resumeData;
    bool answered = false;
    slow->cancelByProducingResumeData([&](std::optional<Bytes> d) {
        std::lock_guard lock(resumeLock);
        resumeData = std::move(d);
        answered = true;
    });
    ASSERT_TRUE(testing_support::runUntil([&] {
        std::lock_guard lock(resumeLock);
        return answered && delegate->completed;
    }));
    ASSERT_TRUE(resumeData);
    std::string text(resumeData->begin(), resumeData->end());
    text.replace(text.find("/slow"), 5, "/slow-range");
    delegate->completed = false;
    delegate->events.clear();
    auto resumed = session->downloadTaskWithResumeData(Bytes(text.begin(), text.end()));
    ASSERT_TRUE(resumed);
    resumed->resume();
    ASSERT_TRUE(waitCompleted());
    EXPECT_FALSE(delegate->error);
    EXPECT_EQ(delegate->order().substr(0, 7), "resumed");
    EXPECT_EQ(delegate->downloaded.size(), 300000u);
    EXPECT_EQ(delegate->downloaded.back(), 'Z');
    EXPECT_FALSE(session->downloadTaskWithResumeData(Bytes { 'x' }));
}

TEST_F(Session, CancelCompletesWithMinus999AndNothingElse)
{
    auto gate = std::make_shared<httpserver::Gate>();
    server.on("/held", Reply::text("late").waitBeforeHead(gate));
    auto task = session->dataTaskWithRequest(request("/held"));
    task->resume();
    ASSERT_TRUE(server.waitForRequests(1));
    task->cancel();
    gate->open();
    ASSERT_TRUE(waitCompleted());
    testing_support::settle(0.1);
    EXPECT_EQ(delegate->order(), "complete");
    EXPECT_EQ(delegate->error->code(), NSURLErrorCancelled);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
}

TEST_F(Session, SessionLevelTrustChallengeAndCancelGivesMinus999)
{
    const auto& certs = httpserver::TestCertificates::shared();
    TestServer tls(TestServer::https(certs.selfSigned()));
    tls.on("/", Reply::text("tls"));
    delegate->sessionChallenges = true;
    delegate->onSessionChallenge = [](auto completion) { completion(NSURLSessionAuthChallengeCancelAuthenticationChallenge, nullptr); };
    auto r = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(tls.url("/")));
    session->dataTaskWithRequest(r)->resume();
    ASSERT_TRUE(waitCompleted());
    EXPECT_EQ(delegate->order(), "sessionChallenge complete");
    EXPECT_EQ(delegate->error->code(), NSURLErrorCancelled);
    EXPECT_EQ(tls.requestCount(), 0u);
}

TEST_F(Session, InvalidationWaitsForRunningTasksThenTellsTheDelegate)
{
    server.on("/i", Reply::text("i").delay(std::chrono::milliseconds(50)));
    session->dataTaskWithRequest(request("/i"))->resume();
    bool listed = false;
    session->getTasksWithCompletionHandler([&](auto data, auto uploads, auto downloads) {
        listed = data.size() == 1 && uploads.empty() && downloads.empty();
    });
    session->finishTasksAndInvalidate();
    EXPECT_FALSE(session->dataTaskWithRequest(request("/i")));
    ASSERT_TRUE(testing_support::runUntil([&] { return delegate->invalid.load(); }));
    EXPECT_TRUE(listed);
    EXPECT_EQ(delegate->order(), "response data complete invalid");
    EXPECT_FALSE(session->delegate());
}

} // namespace
