// A session delegate that records every call as a word, for order assertions (repeated data,
// sent and wrote calls count once), keeps the body and download, and can be told how to answer
// redirects, challenges, responses and cache offers; and the session tests' fixture around it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/network/NSURLSession.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/httpserver/TestServer.h"

namespace network::test {

class SessionDelegate : public NSURLSessionDelegate {
public:
    std::mutex mutex;
    std::vector<std::string> events;
    Bytes body;
    std::shared_ptr<NSURLResponse> response;
    std::shared_ptr<NSError> error;
    std::atomic<bool> completed { false };
    std::atomic<bool> invalid { false };
    std::string downloaded;
    bool downloadFileExisted = false;
    std::string movedTo;
    NSURLSessionResponseDisposition disposition = NSURLSessionResponseAllow;
    std::function<std::shared_ptr<NSInputStream>()> stream;
    bool sessionChallenges = false;
    std::function<void(ChallengeCompletion)> onSessionChallenge;
    std::function<std::shared_ptr<NSURLRequest>(const std::shared_ptr<NSURLRequest>&)> redirect;
    std::function<void(const std::shared_ptr<NSURLAuthenticationChallenge>&, ChallengeCompletion)> challenge;
    std::function<std::shared_ptr<NSCachedURLResponse>(const std::shared_ptr<NSCachedURLResponse>&)> cache;

    bool respondsTo(NSURLSessionDelegateMethod method) const override
    {
        if (method == NSURLSessionDelegateMethod::DidReceiveChallenge)
            return sessionChallenges;
        return NSURLSessionDelegate::respondsTo(method);
    }
    void note(std::string e)
    {
        std::lock_guard lock(mutex);
        if (!events.empty() && events.back() == e && (e == "data" || e == "sent" || e == "wrote"))
            return;
        events.push_back(std::move(e));
    }
    std::string order()
    {
        std::lock_guard lock(mutex);
        std::string joined;
        for (const auto& e : events)
            joined += (joined.empty() ? "" : " ") + e;
        return joined;
    }
    std::string text()
    {
        std::lock_guard lock(mutex);
        return std::string(body.begin(), body.end());
    }
    int status() const
    {
        auto* http = dynamic_cast<NSHTTPURLResponse*>(response.get());
        return http ? static_cast<int>(http->statusCode()) : 0;
    }

    using SessionRef = const std::shared_ptr<NSURLSession>&;
    using TaskRef = const std::shared_ptr<NSURLSessionTask>&;
    using DataTaskRef = const std::shared_ptr<NSURLSessionDataTask>&;
    using DownloadTaskRef = const std::shared_ptr<NSURLSessionDownloadTask>&;
    using ChallengeRef = const std::shared_ptr<NSURLAuthenticationChallenge>&;

    void URLSessionDidBecomeInvalidWithError(SessionRef, const std::shared_ptr<NSError>&) override
    {
        note("invalid");
        invalid = true;
    }
    void URLSessionDidReceiveChallenge(SessionRef, ChallengeRef, ChallengeCompletion completion) override
    {
        note("sessionChallenge");
        onSessionChallenge(completion);
    }
    void taskWillPerformHTTPRedirection(SessionRef, TaskRef, const std::shared_ptr<NSHTTPURLResponse>&,
        const std::shared_ptr<NSURLRequest>& request, std::function<void(std::shared_ptr<NSURLRequest>)> completion) override
    {
        note("redirect");
        // Answered later, from another thread, as delegates may.
        std::thread([completion, next = redirect ? redirect(request) : request] { completion(next); }).detach();
    }
    void taskDidReceiveChallenge(SessionRef, TaskRef, ChallengeRef c, ChallengeCompletion completion) override
    {
        note("challenge");
        if (challenge)
            return challenge(c, completion);
        completion(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
    }
    void taskNeedNewBodyStream(SessionRef, TaskRef, std::function<void(std::shared_ptr<NSInputStream>)> completion) override
    {
        note("needStream");
        completion(stream());
    }
    void taskDidSendBodyData(SessionRef, TaskRef, std::int64_t, std::int64_t, std::int64_t) override { note("sent"); }
    void taskDidCompleteWithError(SessionRef, TaskRef, const std::shared_ptr<NSError>& e) override
    {
        note("complete");
        error = e;
        completed = true;
    }
    void dataTaskDidReceiveResponse(SessionRef, DataTaskRef, const std::shared_ptr<NSURLResponse>& r,
        std::function<void(NSURLSessionResponseDisposition)> completion) override
    {
        note("response");
        response = r;
        completion(disposition);
    }
    void dataTaskDidReceiveData(SessionRef, DataTaskRef, const Bytes& d) override
    {
        note("data");
        std::lock_guard lock(mutex);
        body.insert(body.end(), d.begin(), d.end());
    }
    void dataTaskWillCacheResponse(SessionRef, DataTaskRef, const std::shared_ptr<NSCachedURLResponse>& proposed,
        std::function<void(std::shared_ptr<NSCachedURLResponse>)> completion) override
    {
        note("cache");
        completion(cache ? cache(proposed) : proposed);
    }
    void downloadTaskDidWriteData(SessionRef, DownloadTaskRef, std::int64_t, std::int64_t, std::int64_t) override { note("wrote"); }
    void downloadTaskDidResumeAtOffset(SessionRef, DownloadTaskRef, std::int64_t, std::int64_t) override { note("resumed"); }
    void downloadTaskDidFinishDownloadingToURL(SessionRef, DownloadTaskRef, const NSURL& location) override
    {
        note("downloaded");
        std::ifstream in(location.path(), std::ios::binary);
        downloaded.assign(std::istreambuf_iterator<char>(in), {});
        downloadFileExisted = std::filesystem::exists(location.path());
        movedTo = location.path();
    }
};

// A loopback server, a delegate, and a session without a URL cache that open() makes.
class SessionFixture : public ::testing::Test {
protected:
    void SetUp() override { threading::becomeMainThread(); }
    void TearDown() override
    {
        if (session)
            session->invalidateAndCancel();
    }
    std::shared_ptr<NSURLSession> open(std::function<void(NSURLSessionConfiguration&)> configure = nullptr)
    {
        auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
        configuration->URLCache = nullptr;
        if (configure)
            configure(*configuration);
        session = NSURLSession::sessionWithConfiguration(configuration, delegate, nullptr);
        return session;
    }
    bool waitCompleted() { return testing_support::runUntil([&] { return delegate->completed.load(); }, 10); }
    std::shared_ptr<NSURLRequest> request(const std::string& path, std::string method = "GET")
    {
        auto r = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(server.url(path)));
        r->setHTTPMethod(std::move(method));
        return r;
    }
    testing_support::TempHome home;
    httpserver::TestServer server;
    std::shared_ptr<SessionDelegate> delegate = std::make_shared<SessionDelegate>();
    std::shared_ptr<NSURLSession> session;
};

} // namespace network::test
