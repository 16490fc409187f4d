// NKURLConnectionOperation: one request carried through one URL connection as a concurrent
// operation. Every connection runs on one shared network thread ("NKNetworking"); the operation
// keeps a checked state machine (Paused, Ready, Executing, Finished) whose changes are announced
// as "isPaused"/"isReady"/"isExecuting"/"isFinished", supports cancel, pause and resume, posts
// start and finish notifications on the main queue, and runs its completion block on a
// completion queue inside a dispatch group.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "net/DeviceFacts.h"
#include "net/NKResponseLimit.h"
#include "net/NKSecurityPolicy.h"
#include "platform/foundation/StringEncoding.h"
#include "platform/network/NSStream.h"
#include "platform/network/NSURLConnection.h"
#include "platform/persistence/NSCoder.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/NSLock.h"
#include "platform/threading/NSOperation.h"
#include "platform/threading/NSThread.h"

enum NKURLConnectionOperationState : std::int64_t {
    NKOperationPausedState = -1,
    NKOperationReadyState = 1,
    NKOperationExecutingState = 2,
    NKOperationFinishedState = 3,
};

inline constexpr const char* NKNetworkingOperationDidStartNotification = "com.pendrasil.networking.operation.start";
inline constexpr const char* NKNetworkingOperationDidFinishNotification = "com.pendrasil.networking.operation.finish";

// Archivable with secure coding: the request, the state (an executing or paused operation is
// paused and stored as ready), the response, the error, the body and the bytes read.
class NKURLConnectionOperation : public NSOperation, public NSURLConnectionDelegate, public NSCoding {
public:
    using ProgressBlock = std::function<void(std::uint64_t bytes, std::int64_t totalBytes, std::int64_t totalBytesExpected)>;
    using ChallengeBlock
        = std::function<void(const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLAuthenticationChallenge>&)>;
    using CacheResponseBlock = std::function<std::shared_ptr<NSCachedURLResponse>(
        const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSCachedURLResponse>&)>;
    using RedirectResponseBlock = std::function<std::shared_ptr<NSURLRequest>(const std::shared_ptr<NSURLConnection>&,
        const std::shared_ptr<NSURLRequest>&, const std::shared_ptr<NSURLResponse>&)>;

    static std::shared_ptr<NKURLConnectionOperation> initWithRequest(std::shared_ptr<NSURLRequest> request);
    explicit NKURLConnectionOperation(std::shared_ptr<NSURLRequest> request);
    ~NKURLConnectionOperation() override;
    std::string className() const override { return "NKURLConnectionOperation"; }
    std::string description() const override;
    static constexpr bool supportsSecureCoding() { return true; }
    // Pauses the operation first.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // The one network thread, started on first use and never ended.
    static std::shared_ptr<NSThread> networkRequestThread();
    // Ends the network thread (at process exit).
    static void stopNetworkRequestThread();
    // A group of operations: each one's completion counted with `progress`, then `completion`
    // on the main queue once all completion blocks ran. Queue every operation of the result.
    static std::vector<std::shared_ptr<NSOperation>> batchOfRequestOperations(
        const std::vector<std::shared_ptr<NKURLConnectionOperation>>& operations,
        std::function<void(std::size_t finished, std::size_t total)> progress,
        std::function<void(const std::vector<std::shared_ptr<NKURLConnectionOperation>>&)> completion);

    // The operation protocol.
    void start() override;
    void cancel() override;
    bool isReady() const override;
    bool isExecuting() const override;
    bool isFinished() const override;
    bool isPaused() const;
    bool isConcurrent() const override { return true; }
    void setCompletionBlock(std::function<void()> block) override;
    Value valueForKey(const std::string& key) const override;

    virtual void pause();
    void resume();
    void setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler);

    // Fields.
    NKURLConnectionOperationState state() const { return state_.load(); }
    std::shared_ptr<NSURLRequest> request() const;
    std::shared_ptr<NSURLResponse> response() const;
    virtual NSErrorRef error() const;
    std::optional<Bytes> responseData() const;
    void setResponseData(std::optional<Bytes> data);
    std::optional<std::string> responseString();
    NSStringEncoding responseStringEncoding();
    std::int64_t totalBytesRead() const { return totalBytesRead_.load(); }
    // The most body bytes kept in memory; a longer reply (or one that announces a longer body)
    // fails with NSURLErrorDataLengthExceedsMaximum. An output stream set by the caller is not
    // limited.
    std::uint64_t maximumResponseDataLength() const { return maximumResponseDataLength_.load(); }
    void setMaximumResponseDataLength(std::uint64_t bytes) { maximumResponseDataLength_ = bytes; }
    // The request's body stream. Without a request there is nothing to set it on; such an
    // operation finishes with NSURLErrorBadURL once started.
    std::shared_ptr<NSInputStream> inputStream() const;
    void setInputStream(const std::shared_ptr<NSInputStream>& stream);
    std::shared_ptr<NSOutputStream> outputStream();
    void setOutputStream(const std::shared_ptr<NSOutputStream>& stream);

    bool shouldUseCredentialStorage() const { return shouldUseCredentialStorage_; }
    void setShouldUseCredentialStorage(bool use) { shouldUseCredentialStorage_ = use; }
    std::shared_ptr<NSURLCredential> credential() const;
    void setCredential(std::shared_ptr<NSURLCredential> credential);
    std::shared_ptr<NKSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(std::shared_ptr<NKSecurityPolicy> policy);
    std::set<NSRunLoopMode> runLoopModes() const;
    void setRunLoopModes(std::set<NSRunLoopMode> modes);
    dispatch_queue_t completionQueue() const;
    void setCompletionQueue(dispatch_queue_t queue);
    dispatch_group_t completionGroup() const;
    void setCompletionGroup(dispatch_group_t group);
    Value userInfo() const;
    void setUserInfo(Value userInfo);

    void setUploadProgressBlock(ProgressBlock block);
    void setDownloadProgressBlock(ProgressBlock block);
    void setWillSendRequestForAuthenticationChallengeBlock(ChallengeBlock block);
    void setCacheResponseBlock(CacheResponseBlock block);
    void setRedirectResponseBlock(RedirectResponseBlock block);

    // A new operation of the same class with the request, the callback blocks, the completion
    // queue and group, the credential settings and the security policy.
    virtual std::shared_ptr<NKURLConnectionOperation> copy() const;

    // The connection's delegate calls (network thread).
    std::shared_ptr<NSURLRequest> connectionWillSendRequest(const std::shared_ptr<NSURLConnection>& connection,
        const std::shared_ptr<NSURLRequest>& request, const std::shared_ptr<NSURLResponse>& redirectResponse) override;
    bool connectionShouldUseCredentialStorage(const std::shared_ptr<NSURLConnection>& connection) override;
    void connectionWillSendRequestForAuthenticationChallenge(const std::shared_ptr<NSURLConnection>& connection,
        const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) override;
    void connectionDidSendBodyData(const std::shared_ptr<NSURLConnection>& connection, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;
    void connectionDidReceiveResponse(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLResponse>& response) override;
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>& connection, const Bytes& data) override;
    std::shared_ptr<NSCachedURLResponse> connectionWillCacheResponse(const std::shared_ptr<NSURLConnection>& connection,
        const std::shared_ptr<NSCachedURLResponse>& cachedResponse) override;
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>& connection) override;
    void connectionDidFailWithError(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSError>& error) override;

    // For tests: the state's key path ("isPaused", "isReady", "isExecuting", "isFinished", "state").
    static std::string keyPathFromOperationState(std::int64_t state);
    // Whether the state table allows the change.
    static bool stateTransitionIsValid(std::int64_t from, std::int64_t to, bool isCancelled);

protected:
    // start() and the completion-block wrapper only pass work to the network thread and the
    // completion queue.
    bool onlyHandsWorkOn() const override { return true; }
    void setState(NKURLConnectionOperationState state);
    // Sets a completion block that itself only passes work on, inside the completion group, to
    // the queues where the caller's code runs: it runs where the operation finished instead of
    // first going to the completion queue.
    void setHandOffCompletionBlock(std::function<void()> block);
    // Called on the network thread just before a connection is made (after any pause step).
    virtual void connectionWillStart() { }
    void setRequest(std::shared_ptr<NSURLRequest> request);
    void setResponse(std::shared_ptr<NSURLResponse> response);
    // Ends the running connection with `error` (network thread).
    void failConnection(const std::shared_ptr<NSURLConnection>& connection, NSErrorRef error);
    // Replaces the stream that receives the body by a new in-memory one (network thread).
    bool restartOutputStream();
    // Fails the connection when the response announces more body than may be kept in memory;
    // true when it did (network thread).
    bool refuseOversizedResponse(const std::shared_ptr<NSURLConnection>& connection);
    // This operation, shared (without a runtime cast: `this` already has the type).
    std::shared_ptr<NKURLConnectionOperation> self() { return { shared_from_this(), this }; }
    // The request-independent settings a copy carries over.
    void copyCallbacksTo(NKURLConnectionOperation& other) const;
    // The body without a copy; valid while `lock_` is held.
    const std::optional<Bytes>& responseDataLocked() const { return responseData_; }

    mutable NSRecursiveLock lock_;

    // A field read or replaced under `lock_`.
    template <class T>
    T locked(const T& field) const
    {
        std::lock_guard lock(lock_);
        return field;
    }
    template <class T, class V>
    void setLocked(T& field, V&& value)
    {
        std::lock_guard lock(lock_);
        field = std::forward<V>(value);
    }

private:
    void wrapCompletionBlock(std::function<void()> block, bool handsOff);
    void performOnNetworkThread(void (NKURLConnectionOperation::*step)());
    void operationDidStart();
    // Under `lock_`: makes, schedules and starts the connection; false when the request
    // cannot make one (there is none).
    bool openConnection();
    void operationDidPause();
    void cancelConnection();
    void finish();
    // `name` is one of the notification constants: it is read later, on the main thread.
    void postNotification(const char* name);
    bool writeReceivedData(const std::shared_ptr<NSURLConnection>& connection, const Bytes& data);
    bool waitForSpace(const std::shared_ptr<NSURLConnection>& connection, NSOutputStream& stream);
    NSErrorRef cannotWriteError() const;
    bool keepsBodyInMemory() const;
    void failResponseTooLarge(const std::shared_ptr<NSURLConnection>& connection);

    std::atomic<NKURLConnectionOperationState> state_ { NKOperationReadyState };
    std::shared_ptr<NSURLRequest> request_;
    std::shared_ptr<NSURLResponse> response_;
    NSErrorRef error_;
    std::optional<Bytes> responseData_;
    std::optional<std::string> responseString_;
    NSStringEncoding responseStringEncoding_ = 0;
    std::atomic<std::int64_t> totalBytesRead_ { 0 };
    std::atomic<std::uint64_t> maximumResponseDataLength_ { NKDefaultMaximumResponseDataLength };
    std::shared_ptr<NSOutputStream> outputStream_;
    bool ownsOutputStream_ = false;
    std::uint64_t bytesInMemory_ = 0; // written to the operation's own in-memory stream
    std::shared_ptr<NSURLConnection> connection_;
    std::atomic<bool> shouldUseCredentialStorage_ { true };
    std::shared_ptr<NSURLCredential> credential_;
    std::shared_ptr<NKSecurityPolicy> securityPolicy_;
    std::set<NSRunLoopMode> runLoopModes_ { NSRunLoopCommonModes };
    dispatch_queue_t completionQueue_;
    dispatch_group_t completionGroup_;
    Value userInfo_;
    std::function<void()> backgroundTaskCleanup_;
    ProgressBlock uploadProgress_;
    ProgressBlock downloadProgress_;
    ChallengeBlock authenticationChallenge_;
    CacheResponseBlock cacheResponse_;
    RedirectResponseBlock redirectResponse_;
};

namespace net {
// The shared completion group of connection operations, and the completion-block queue.
dispatch_group_t connectionOperationCompletionGroup();
dispatch_queue_t connectionOperationCompletionQueue();
} // namespace net
