// NSURLConnection: loads one request and reports to its delegate on the thread whose run loop
// it is scheduled in (or on an operation queue), in the platform's order:
//   willSendRequest(request, no redirect) -> connectionShouldUseCredentialStorage ->
//   [willSendRequestForAuthenticationChallenge (server trust, after the TLS handshake and
//    before any request byte)] -> [didSendBodyData...] ->
//   [willSendRequest(redirect) / authentication challenge (401), per round trip] ->
//   didReceiveResponse -> didReceiveData... -> willCacheResponse -> connectionDidFinishLoading,
// or connectionDidFailWithError at any point. Nothing is reported after cancel(). The
// connection keeps its delegate alive until it finishes, fails or is cancelled.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/network/Loader.h"
#include "platform/network/NSURLCache.h"
#include "platform/network/NSURLCredential.h"
#include "platform/network/NSURLRequest.h"
#include "platform/network/NSURLResponse.h"
#include "platform/threading/NSOperation.h"
#include "platform/threading/NSRunLoop.h"

class NSURLConnection;

// Each method's default is what the platform does when the delegate does not implement it.
class NSURLConnectionDelegate {
public:
    virtual ~NSURLConnectionDelegate() = default;

    // Return the request to send (the proposed one, another, or nullptr to stop: a redirect
    // answered with nullptr delivers the redirect response itself as the final response).
    virtual std::shared_ptr<NSURLRequest> connectionWillSendRequest(const std::shared_ptr<NSURLConnection>& connection,
        const std::shared_ptr<NSURLRequest>& request, const std::shared_ptr<NSURLResponse>& redirectResponse);
    virtual bool connectionShouldUseCredentialStorage(const std::shared_ptr<NSURLConnection>& connection);
    // Answer through challenge->sender(). By default: default handling.
    virtual void connectionWillSendRequestForAuthenticationChallenge(const std::shared_ptr<NSURLConnection>& connection,
        const std::shared_ptr<NSURLAuthenticationChallenge>& challenge);
    // A fresh stream for the request's body, when it has to be sent again; nullptr fails the load.
    virtual std::shared_ptr<NSInputStream> connectionNeedNewBodyStream(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLRequest>& request);
    virtual void connectionDidSendBodyData(const std::shared_ptr<NSURLConnection>& connection, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite);
    virtual void connectionDidReceiveResponse(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLResponse>& response);
    virtual void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>& connection, const Bytes& data);
    // Return what to cache (the proposed response, another, or nullptr for nothing).
    virtual std::shared_ptr<NSCachedURLResponse> connectionWillCacheResponse(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSCachedURLResponse>& cachedResponse);
    virtual void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>& connection);
    virtual void connectionDidFailWithError(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSError>& error);
};

class NSURLConnection final : public NSObject, public network::LoaderClient {
public:
    // Scheduled in the current run loop's default mode and started.
    static std::shared_ptr<NSURLConnection> connectionWithRequest(
        const std::shared_ptr<NSURLRequest>& request, const std::shared_ptr<NSURLConnectionDelegate>& delegate);
    // With startImmediately false the connection waits for scheduling and start().
    static std::shared_ptr<NSURLConnection> create(const std::shared_ptr<NSURLRequest>& request,
        const std::shared_ptr<NSURLConnectionDelegate>& delegate, bool startImmediately = true);
    // Runs the load on a private thread and waits for its end: the body, or nullopt with *error.
    static std::optional<Bytes> sendSynchronousRequest(const std::shared_ptr<NSURLRequest>& request,
        std::shared_ptr<NSURLResponse>* response, std::shared_ptr<NSError>* error);
    // The completion runs on `queue` with (response, data, error).
    static void sendAsynchronousRequest(const std::shared_ptr<NSURLRequest>& request,
        const std::shared_ptr<NSOperationQueue>& queue,
        std::function<void(std::shared_ptr<NSURLResponse>, std::optional<Bytes>, std::shared_ptr<NSError>)> handler);
    static bool canHandleRequest(const NSURLRequest& request);

    NSURLConnection(std::shared_ptr<NSURLRequest> request, std::shared_ptr<NSURLConnectionDelegate> delegate);
    ~NSURLConnection() override;
    std::string className() const override { return "NSURLConnection"; }

    // Before start(): where the delegate is called. The first run loop scheduled wins.
    void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode);
    void unscheduleFromRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode);
    void setDelegateQueue(const std::shared_ptr<NSOperationQueue>& queue);
    // Unscheduled connections are scheduled in the current run loop's default mode.
    void start();
    void cancel();

    const std::shared_ptr<NSURLRequest>& originalRequest() const { return original_; }
    std::shared_ptr<NSURLRequest> currentRequest() const;

    // For the loader.
    void loaderWillRedirect(const std::shared_ptr<NSURLRequest>& proposed, const std::shared_ptr<NSHTTPURLResponse>& response,
        std::function<void(std::shared_ptr<NSURLRequest>)> answer) override;
    void loaderChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>& challenge, network::ChallengeAnswer answer) override;
    void loaderNeedNewBodyStream(std::function<void(std::shared_ptr<NSInputStream>)> answer) override;
    void loaderDidSendBodyData(std::int64_t bytes, std::int64_t total, std::int64_t expected) override;
    void loaderDidReceiveResponse(const std::shared_ptr<NSURLResponse>& response, std::function<void(bool)> answer) override;
    void loaderDidReceiveData(const Bytes& data) override;
    void loaderWillCacheResponse(const std::shared_ptr<NSCachedURLResponse>& proposed,
        std::function<void(std::shared_ptr<NSCachedURLResponse>)> answer) override;
    void loaderDidComplete(const std::shared_ptr<NSError>& error) override;

private:
    std::shared_ptr<NSURLConnectionDelegate> delegate() const;
    std::shared_ptr<NSURLConnection> self() { return { shared_from_this(), this }; }
    void begin();

    mutable std::mutex mutex_;
    std::shared_ptr<NSURLRequest> original_;
    std::shared_ptr<NSURLConnectionDelegate> delegate_; // held until the end
    std::shared_ptr<NSRunLoop> runLoop_;
    std::vector<NSRunLoopMode> modes_;
    std::shared_ptr<NSOperationQueue> queue_;
    std::shared_ptr<network::Delivery> delivery_;
    std::shared_ptr<network::Loader> loader_;
    bool started_ = false;
    bool ended_ = false;
    bool gathersBody_ = false; // the one-call forms keep the whole body
};
