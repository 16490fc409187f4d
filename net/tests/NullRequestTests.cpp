// Operations and multipart builders made without a request: the operation finishes with a
// bad-URL error instead of ending the process, and nothing on the way to its start crashes.
#include "net/NKHTTPRequestOperation.h"
#include "net/NKMultipartFormData.h"
#include "net/NKURLRequestSerialization.h"
#include "net/tests/NetTestSupport.h"
#include "platform/network/URLError.h"
#include "testing/TempHome.h"

using namespace net::test;

namespace {

using NullRequest = NetTest;

void expectBadURL(const NSErrorRef& error)
{
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSURLErrorDomain);
    EXPECT_EQ(error->code(), NSURLErrorBadURL);
}

TEST_F(NullRequest, AConnectionOperationFinishesWithABadURLError)
{
    auto operation = NKURLConnectionOperation::initWithRequest(nullptr);
    auto completed = std::make_shared<std::atomic<int>>(0);
    operation->setCompletionBlock([completed] { ++*completed; });
    auto queue = NSOperationQueue::create();
    queue->addOperation(operation);
    ASSERT_TRUE(waitFor([&] { return completed->load() == 1; }));
    EXPECT_TRUE(operation->isFinished());
    expectBadURL(operation->error());
    EXPECT_FALSE(operation->response());
    EXPECT_FALSE(operation->responseData());
}

// The body stream and the pause (which asks for a range of the request) have no request to
// change; the resumed operation reports the error to its failure block.
TEST_F(NullRequest, AnHTTPOperationTakesAStreamAndAPauseThenFails)
{
    auto operation = NKHTTPRequestOperation::initWithRequest(nullptr);
    auto failures = std::make_shared<std::atomic<int>>(0);
    auto successes = std::make_shared<std::atomic<int>>(0);
    auto error = std::make_shared<NSErrorRef>(); // written on the main queue, this thread
    operation->setCompletionBlockWithSuccess([successes](const auto&, const Value&) { ++*successes; },
        [failures, error](const auto&, const NSErrorRef& e) {
            *error = e;
            ++*failures;
        });
    operation->setInputStream(NSInputStream::inputStreamWithData(bytes("body")));
    EXPECT_FALSE(operation->inputStream());
    EXPECT_FALSE(operation->request());
    operation->pause();
    EXPECT_TRUE(operation->isPaused());
    operation->resume();
    ASSERT_TRUE(waitFor([&] { return failures->load() == 1; }));
    EXPECT_EQ(successes->load(), 0);
    expectBadURL(*error);
    EXPECT_TRUE(operation->isFinished());
}

TEST_F(NullRequest, AMultipartBuilderFinishesNoRequest)
{
    NKStreamingMultipartFormData formData(nullptr, NSUTF8StringEncoding);
    EXPECT_FALSE(formData.requestByFinalizingMultipartFormData());
    formData.appendPartWithFormData(bytes("1"), "a");
    formData.appendPartWithFileData(bytes("png"), "file", "a.png", "image/png");
    EXPECT_FALSE(formData.requestByFinalizingMultipartFormData());
}

TEST_F(NullRequest, WritingTheBodyOfNoRequestCopiesNothing)
{
    testing_support::TempHome home;
    bool completed = false;
    auto copy = NKHTTPRequestSerializer::serializer()->requestWithMultipartFormRequest(
        nullptr, NSURL::fileURLWithPath(home.pathFor("body")), [&](NSErrorRef error) { completed = !error; });
    EXPECT_FALSE(copy);
    ASSERT_TRUE(waitFor([&] { return completed; }));
}

} // namespace
