// Loader: one load of a request, as a connection or a session task sees it. It consults the
// URL cache, runs exchanges on the transport, and turns what comes back into the delegate's
// questions and reports: server trust, redirects, HTTP authentication (Basic and Digest),
// the response, data, caching and the end. Every call to the client happens on the delivery;
// the client's answers may come later, from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/network/BlockFifo.h"
#include "platform/network/Delivery.h"
#include "platform/network/NSHTTPCookieStorage.h"
#include "platform/network/NSURLCache.h"
#include "platform/network/NSURLCredential.h"
#include "platform/network/NSURLRequest.h"
#include "platform/network/Transport.h"
#include "platform/network/URLError.h"

enum NSURLSessionAuthChallengeDisposition : std::int64_t {
    NSURLSessionAuthChallengeUseCredential = 0,
    NSURLSessionAuthChallengePerformDefaultHandling = 1,
    NSURLSessionAuthChallengeCancelAuthenticationChallenge = 2,
    NSURLSessionAuthChallengeRejectProtectionSpace = 3,
};

namespace network {

using ChallengeAnswer = std::function<void(NSURLSessionAuthChallengeDisposition, std::shared_ptr<NSURLCredential>)>;

class LoaderClient {
public:
    virtual ~LoaderClient() = default;
    virtual void loaderWillRedirect(const std::shared_ptr<NSURLRequest>& proposed,
        const std::shared_ptr<NSHTTPURLResponse>& response, std::function<void(std::shared_ptr<NSURLRequest>)> answer) = 0;
    virtual void loaderChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>& challenge, ChallengeAnswer answer) = 0;
    // A fresh body stream to send the body again (after a redirect or an authentication retry).
    virtual void loaderNeedNewBodyStream(std::function<void(std::shared_ptr<NSInputStream>)> answer) { answer(nullptr); }
    virtual void loaderDidSendBodyData(std::int64_t bytes, std::int64_t total, std::int64_t expected) = 0;
    // answer(false) stops the load; it then completes as cancelled.
    virtual void loaderDidReceiveResponse(const std::shared_ptr<NSURLResponse>& response, std::function<void(bool)> answer) = 0;
    virtual void loaderDidReceiveData(const Bytes& data) = 0;
    virtual void loaderWillCacheResponse(const std::shared_ptr<NSCachedURLResponse>& proposed,
        std::function<void(std::shared_ptr<NSCachedURLResponse>)> answer) = 0;
    // nullptr: success.
    virtual void loaderDidComplete(const std::shared_ptr<NSError>& error) = 0;
};

struct LoaderOptions {
    std::shared_ptr<NSURLCache> cache;
    std::shared_ptr<NSHTTPCookieStorage> cookies;
    std::shared_ptr<NSURLCredentialStorage> credentials;
    bool useCredentialStorage = true;
    // The error of a load whose challenge the delegate cancelled.
    std::int64_t cancelledChallengeCode = NSURLErrorUserCancelledAuthentication;
    std::optional<double> idleTimeout; // replaces the request's time-out when set
    double totalTimeout = 0;
    HeaderFields additionalHeaders; // added where the request has no such field
    std::optional<NSURLRequestCachePolicy> cachePolicy; // replaces the request's when set
    // The limit of a response body (see NSURLDefaultMaximumResponseBodyLength) when the request
    // sets none; unset: the default.
    std::optional<std::int64_t> maximumBodyLength;
    // The client keeps the whole body (a completion handler, a synchronous load): the limit
    // then bounds every body, not only the inflated ones.
    bool holdsBody = false;
};

class Loader final : public TransferClient, public std::enable_shared_from_this<Loader> {
public:
    static constexpr int kMaxRedirects = 16;

    Loader(std::shared_ptr<NSURLRequest> request, LoaderOptions options, std::shared_ptr<Delivery> delivery,
        std::shared_ptr<LoaderClient> client);
    ~Loader() override;

    // Begins on the delivery.
    void start();
    // From any thread. The owner closes the delivery first, so nothing is reported afterwards.
    void cancel();
    // Holds received data back (the transport stops reading) until resumed.
    void setPaused(bool paused);

    std::shared_ptr<NSURLRequest> currentRequest() const;
    std::shared_ptr<NSURLResponse> response() const;
    std::int64_t bytesReceived() const { return bytesReceived_; }
    std::int64_t bytesSent() const { return bytesSent_; }
    std::int64_t bytesExpectedToSend() const { return bytesExpectedToSend_; }
    // The body came from the URL cache (fresh, or validated by a 304).
    bool servedFromCache() const { return servedFromCache_; }

    // TransferClient, on the transfer's thread.
    bool transferEvaluateTrust(const SecTrustRef& trust) override;
    std::optional<bool> transferEvaluateTrustAtOnce(const SecTrustRef& trust) override;
    void transferDidSendBody(std::int64_t bytes, std::int64_t total, std::int64_t expected) override;
    void transferDidReceiveHead(ResponseHead head) override;
    BodyAnswer transferDidReceiveBody(const std::uint8_t* bytes, std::size_t length, bool mayBlock) override;
    void transferDidComplete(TransferResult result) override;

private:
    enum class Hold { None, Redirect, Authenticate, NotModified };
    struct TrustDecision {
        std::mutex mutex;
        std::condition_variable changed;
        std::optional<bool> accepted;
    };

    std::shared_ptr<LoaderClient> client() const;
    template <class Step>
    void post(Step step);
    // While an answer is awaited, later steps wait in order.
    void await();
    void answered();
    // Puts the server-trust question to the client through the delivery.
    std::shared_ptr<TrustDecision> askTrust(const SecTrustRef& trust);
    // A transfer that answered Wait goes on once there is room again.
    void resumeIfRoomLocked();
    template <class Step>
    void runOrDefer(Step step);

    void begin();
    void exchange(std::shared_ptr<NSURLRequest> request, std::shared_ptr<NSInputStream> bodyStream);
    void onHead(ResponseHead head);
    void onData(std::shared_ptr<Bytes> chunk);
    void onComplete(TransferResult result);
    void handleRedirect();
    void handleAuthentication();
    void serveFromCache(std::shared_ptr<NSCachedURLResponse> entry);
    void deliverHeld();
    void deliverResponseThenBody(std::shared_ptr<NSURLResponse> response, std::shared_ptr<Bytes> body, bool cacheable);
    void finishSuccess();
    void fail(std::int64_t code, std::string detail = {}, std::shared_ptr<NSError> underlying = nullptr);
    void complete(std::shared_ptr<NSError> error);
    void resend(std::shared_ptr<NSURLRequest> request, bool bodyAgain);
    std::shared_ptr<NSHTTPURLResponse> makeResponse(const ResponseHead& head) const;
    NSURLRequestCachePolicy cachePolicy() const;
    // Bodies above this are not offered for caching (a twentieth of the cache's budget).
    std::size_t maxCachedBody() const;

    std::shared_ptr<NSURLRequest> original_;
    LoaderOptions options_;
    std::shared_ptr<Delivery> delivery_;

    mutable std::mutex mutex_;
    std::shared_ptr<LoaderClient> client_;
    std::shared_ptr<NSURLRequest> current_;
    std::shared_ptr<NSURLResponse> response_;
    std::shared_ptr<Transfer> transfer_;
    std::condition_variable flow_;
    std::size_t pendingBytes_ = 0;
    std::shared_ptr<Bytes> openChunk_; // posted, not yet delivered: more bytes join it
    bool paused_ = false;
    bool wantsRoom_ = false;
    std::shared_ptr<TrustDecision> pendingTrust_; // asked on the run loop, awaited on a worker
    std::atomic<bool> cancelled_ { false };

    // Worker-side state of the running exchange.
    Hold hold_ = Hold::None;
    Bytes held_;
    bool conditional_ = false;

    // Delivery-side state.
    bool done_ = false;
    bool awaiting_ = false;
    BlockFifo deferred_;
    ResponseHead heldHead_;
    std::shared_ptr<Bytes> heldBody_;
    std::shared_ptr<NSCachedURLResponse> conditionalEntry_;
    bool collecting_ = false;
    std::size_t collectLimit_ = 0; // the largest body kept for the cache, read at the response
    Bytes collected_;
    int redirects_ = 0;
    std::map<std::string, int> authFailures_;
    std::shared_ptr<NSURLCredential> lastCredential_;
    std::optional<std::string> authorization_;
    std::string authorizationOrigin_;
    unsigned nonceCount_ = 0;
    std::atomic<bool> challengeCancelled_ { false };
    std::atomic<std::int64_t> bytesReceived_ { 0 };
    std::atomic<std::int64_t> bytesSent_ { 0 };
    std::atomic<std::int64_t> bytesExpectedToSend_ { 0 };
    std::atomic<bool> servedFromCache_ { false };
};

// The sender handed to delegates with a challenge: its five answers become one disposition.
class ChallengeSender final : public NSURLAuthenticationChallengeSender {
public:
    explicit ChallengeSender(ChallengeAnswer answer) : answer_(std::move(answer)) { }
    void useCredential(const std::shared_ptr<NSURLCredential>& credential,
        const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) override;
    void continueWithoutCredentialForAuthenticationChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>&) override;
    void cancelAuthenticationChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>&) override;
    void performDefaultHandlingForAuthenticationChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>&) override;
    void rejectProtectionSpaceAndContinueWithChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>&) override;
    // Continuing without a credential: for server trust the default evaluation, for HTTP
    // authentication the failure response is delivered.
    static constexpr NSURLSessionAuthChallengeDisposition kContinueWithout = static_cast<NSURLSessionAuthChallengeDisposition>(100);

    // The one answer that counts; later ones are ignored.
    void respond(NSURLSessionAuthChallengeDisposition disposition, std::shared_ptr<NSURLCredential> credential);

private:
    std::mutex mutex_;
    ChallengeAnswer answer_;
};

} // namespace network
