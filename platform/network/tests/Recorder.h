// A connection delegate that records every call as a line of text, for order assertions, and
// can be told how to answer redirects and challenges.
#pragma once

#include <functional>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/network/NSURLConnection.h"
#include "platform/threading/NSThread.h"
#include "testing/RunLoopPump.h"

namespace network::test {

class Recorder : public NSURLConnectionDelegate {
public:
    std::vector<std::string> events;
    Bytes body;
    std::shared_ptr<NSURLResponse> response;
    std::shared_ptr<NSError> error;
    std::atomic<bool> finished { false }; // set last: what came before it is seen once it is
    std::atomic<bool> onMainThread { true };
    std::function<std::shared_ptr<NSURLRequest>(const std::shared_ptr<NSURLRequest>&, const std::shared_ptr<NSURLResponse>&)> redirect;
    std::function<void(const std::shared_ptr<NSURLAuthenticationChallenge>&)> challenge;
    std::function<std::shared_ptr<NSCachedURLResponse>(const std::shared_ptr<NSCachedURLResponse>&)> cache;
    bool useStorage = true;

    std::shared_ptr<NSURLRequest> connectionWillSendRequest(const std::shared_ptr<NSURLConnection>&,
        const std::shared_ptr<NSURLRequest>& request, const std::shared_ptr<NSURLResponse>& redirectResponse) override
    {
        note(redirectResponse ? "redirect" : "willSend");
        if (redirectResponse && redirect)
            return redirect(request, redirectResponse);
        return request;
    }
    bool connectionShouldUseCredentialStorage(const std::shared_ptr<NSURLConnection>&) override
    {
        note("useStorage");
        return useStorage;
    }
    void connectionWillSendRequestForAuthenticationChallenge(
        const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLAuthenticationChallenge>& c) override
    {
        note(c->protectionSpace()->authenticationMethod() == NSURLAuthenticationMethodServerTrust ? "trust" : "auth");
        if (challenge)
            return challenge(c);
        c->sender()->performDefaultHandlingForAuthenticationChallenge(c);
    }
    void connectionDidSendBodyData(const std::shared_ptr<NSURLConnection>&, std::int64_t, std::int64_t total, std::int64_t) override
    {
        if (events.empty() || events.back() != "sent")
            note("sent");
        sentTotal = total;
    }
    void connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLResponse>& r) override
    {
        note("response");
        response = r;
    }
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&, const Bytes& data) override
    {
        if (events.empty() || events.back() != "data")
            note("data");
        body.insert(body.end(), data.begin(), data.end());
    }
    std::shared_ptr<NSCachedURLResponse> connectionWillCacheResponse(
        const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSCachedURLResponse>& proposed) override
    {
        note("cache");
        return cache ? cache(proposed) : proposed;
    }
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) override
    {
        note("finish");
        finished = true;
    }
    void connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSError>& e) override
    {
        note("fail");
        error = e;
        finished = true;
    }

    std::string text() const { return std::string(body.begin(), body.end()); }
    std::string order() const
    {
        std::string joined;
        for (const auto& e : events)
            joined += (joined.empty() ? "" : " ") + e;
        return joined;
    }
    int status() const
    {
        auto* http = dynamic_cast<NSHTTPURLResponse*>(response.get());
        return http ? static_cast<int>(http->statusCode()) : 0;
    }
    std::int64_t sentTotal = 0;

private:
    void note(std::string event)
    {
        if (!NSThread::isMainThread())
            onMainThread = false;
        events.push_back(std::move(event));
    }
};

inline std::shared_ptr<NSMutableURLRequest> requestFor(const std::string& url)
{
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(url));
    request->setCachePolicy(NSURLRequestReloadIgnoringLocalCacheData);
    return request;
}

// Loads `request` on the main run loop and waits for its end.
inline std::shared_ptr<Recorder> load(const std::shared_ptr<NSURLRequest>& request,
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>(), double timeout = 10)
{
    auto connection = NSURLConnection::connectionWithRequest(request, recorder);
    testing_support::runUntil([&] { return recorder->finished.load(); }, timeout);
    return recorder;
}

} // namespace network::test
