// NSURLSession: tasks that load requests, reporting to one delegate on one operation queue
// (width 1 when the session makes it), one call at a time. Data, upload (data, file, stream)
// and download tasks start suspended; resume() starts them. Every task posts the resume and
// suspend notifications below itself when its state changes that way. A session keeps its
// delegate until it is invalidated and has told the delegate so.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/network/Loader.h"
#include "platform/network/NSURLCache.h"
#include "platform/network/NSURLCredential.h"
#include "platform/network/NSURLRequest.h"
#include "platform/network/NSURLResponse.h"
#include "platform/threading/NSOperation.h"

class NSURLSession;
class NSURLSessionTask;
class NSURLSessionDataTask;
class NSURLSessionDownloadTask;

// Posted by every task, on the calling thread, after resume() of a task that was not running
// and after suspend() of a task that was not suspended (a completed or cancelling task included,
// though its state does not change); the object is the task. The HTTP stack's session manager
// listens for them.
inline const std::string& NSURLSessionTaskDidResumeNotification = *new std::string("com.pendrasil.networking.nsurlsessiontask.resume");
inline const std::string& NSURLSessionTaskDidSuspendNotification = *new std::string("com.pendrasil.networking.nsurlsessiontask.suspend");

inline constexpr std::int64_t NSURLSessionTransferSizeUnknown = -1;

enum NSURLSessionTaskState : std::int64_t {
    NSURLSessionTaskStateRunning = 0,
    NSURLSessionTaskStateSuspended = 1,
    NSURLSessionTaskStateCanceling = 2,
    NSURLSessionTaskStateCompleted = 3,
};

enum NSURLSessionResponseDisposition : std::int64_t {
    NSURLSessionResponseCancel = 0,
    NSURLSessionResponseAllow = 1,
    NSURLSessionResponseBecomeDownload = 2,
};

class NSURLSessionConfiguration final : public NSObject {
public:
    static std::shared_ptr<NSURLSessionConfiguration> defaultSessionConfiguration();
    // No disk cache, a private cookie and credential storage.
    static std::shared_ptr<NSURLSessionConfiguration> ephemeralSessionConfiguration();
    // Runs as an ordinary session that carries the identifier.
    static std::shared_ptr<NSURLSessionConfiguration> backgroundSessionConfigurationWithIdentifier(std::string identifier);
    std::string className() const override { return "NSURLSessionConfiguration"; }
    std::shared_ptr<NSURLSessionConfiguration> copy() const;

    std::optional<std::string> identifier;
    double timeoutIntervalForRequest = 60; // seconds without progress
    double timeoutIntervalForResource = 7 * 24 * 3600;
    Value HTTPAdditionalHeaders; // a dictionary of strings, or absent
    NSURLRequestCachePolicy requestCachePolicy = NSURLRequestUseProtocolCachePolicy;
    std::shared_ptr<NSURLCache> URLCache;
    std::shared_ptr<NSHTTPCookieStorage> HTTPCookieStorage;
    std::shared_ptr<NSURLCredentialStorage> URLCredentialStorage;
    bool HTTPShouldSetCookies = true;
    bool HTTPShouldUsePipelining = false;
    bool allowsCellularAccess = true;
    long HTTPMaximumConnectionsPerHost = 6;
    NSURLRequestNetworkServiceType networkServiceType = NSURLNetworkServiceTypeDefault;
    // Our extension: see NSURLDefaultMaximumResponseBodyLength. A request's own limit wins.
    std::int64_t maximumResponseBodyLength = NSURLDefaultMaximumResponseBodyLength;
};

// Which optional delegate methods a delegate implements (see NSURLSessionDelegate::respondsTo).
enum class NSURLSessionDelegateMethod {
    DidBecomeInvalid,
    DidReceiveChallenge, // session level
    DidFinishEventsForBackgroundURLSession,
    WillPerformHTTPRedirection,
    TaskDidReceiveChallenge,
    NeedNewBodyStream,
    DidSendBodyData,
    DidCompleteWithError,
    DidReceiveResponse,
    DidBecomeDownloadTask,
    DidReceiveData,
    WillCacheResponse,
    DidFinishDownloadingToURL,
    DidWriteData,
    DidResumeAtOffset,
};

// The session, task, data and download delegate in one. Each default does what the platform
// does without the method; respondsTo() says which methods the session should call (all but
// the session-level challenge and the background-events call by default).
class NSURLSessionDelegate {
public:
    using ChallengeCompletion = std::function<void(NSURLSessionAuthChallengeDisposition, std::shared_ptr<NSURLCredential>)>;
    virtual ~NSURLSessionDelegate() = default;
    virtual bool respondsTo(NSURLSessionDelegateMethod method) const;

    virtual void URLSessionDidBecomeInvalidWithError(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSError>&) { }
    virtual void URLSessionDidReceiveChallenge(const std::shared_ptr<NSURLSession>&,
        const std::shared_ptr<NSURLAuthenticationChallenge>&, ChallengeCompletion completion);
    virtual void URLSessionDidFinishEventsForBackgroundURLSession(const std::shared_ptr<NSURLSession>&) { }

    virtual void taskWillPerformHTTPRedirection(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&,
        const std::shared_ptr<NSHTTPURLResponse>&, const std::shared_ptr<NSURLRequest>& request,
        std::function<void(std::shared_ptr<NSURLRequest>)> completion);
    virtual void taskDidReceiveChallenge(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&,
        const std::shared_ptr<NSURLAuthenticationChallenge>&, ChallengeCompletion completion);
    virtual void taskNeedNewBodyStream(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>& task,
        std::function<void(std::shared_ptr<NSInputStream>)> completion);
    virtual void taskDidSendBodyData(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&,
        std::int64_t, std::int64_t, std::int64_t) { }
    virtual void taskDidCompleteWithError(
        const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&, const std::shared_ptr<NSError>&) { }

    virtual void dataTaskDidReceiveResponse(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>&,
        const std::shared_ptr<NSURLResponse>&, std::function<void(NSURLSessionResponseDisposition)> completion);
    virtual void dataTaskDidBecomeDownloadTask(const std::shared_ptr<NSURLSession>&,
        const std::shared_ptr<NSURLSessionDataTask>&, const std::shared_ptr<NSURLSessionDownloadTask>&) { }
    virtual void dataTaskDidReceiveData(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>&, const Bytes&) { }
    virtual void dataTaskWillCacheResponse(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>&,
        const std::shared_ptr<NSCachedURLResponse>& proposed, std::function<void(std::shared_ptr<NSCachedURLResponse>)> completion);

    // The file at `location` is removed when this returns: move it to keep it.
    virtual void downloadTaskDidFinishDownloadingToURL(
        const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDownloadTask>&, const NSURL& /*location*/) { }
    virtual void downloadTaskDidWriteData(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDownloadTask>&,
        std::int64_t, std::int64_t, std::int64_t) { }
    virtual void downloadTaskDidResumeAtOffset(const std::shared_ptr<NSURLSession>&,
        const std::shared_ptr<NSURLSessionDownloadTask>&, std::int64_t, std::int64_t) { }
};

class NSURLSessionTask : public NSObject, public network::LoaderClient {
public:
    enum class Kind { Data, Upload, Download };
    std::string className() const override;

    std::uint64_t taskIdentifier() const { return identifier_; }
    std::shared_ptr<NSURLRequest> originalRequest() const { return original_; }
    std::shared_ptr<NSURLRequest> currentRequest() const;
    std::shared_ptr<NSURLResponse> response() const;
    NSURLSessionTaskState state() const;
    std::shared_ptr<NSError> error() const;
    std::string taskDescription() const;
    void setTaskDescription(std::string description);
    float priority() const { return priority_; }
    void setPriority(float priority) { priority_ = priority; }
    std::int64_t countOfBytesReceived() const;
    std::int64_t countOfBytesSent() const;
    std::int64_t countOfBytesExpectedToSend() const;
    std::int64_t countOfBytesExpectedToReceive() const;
    Kind kind() const { return kind_; }

    void resume();
    void suspend();
    void cancel();

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

    using DataCompletion = std::function<void(std::optional<Bytes>, std::shared_ptr<NSURLResponse>, std::shared_ptr<NSError>)>;
    using DownloadCompletion = std::function<void(std::optional<NSURL>, std::shared_ptr<NSURLResponse>, std::shared_ptr<NSError>)>;

    NSURLSessionTask(Kind kind, std::weak_ptr<NSURLSession> session, std::uint64_t identifier, std::shared_ptr<NSURLRequest> request);
    ~NSURLSessionTask() override;

protected:
    friend class NSURLSession;
    std::shared_ptr<NSURLSession> session() const { return session_.lock(); }
    std::shared_ptr<NSURLSessionDelegate> delegate() const;
    bool responds(NSURLSessionDelegateMethod method) const;
    void startLoading();
    void beginLoader(std::shared_ptr<NSInputStream> stream);
    void finish(std::shared_ptr<NSError> error);

    Kind kind_;
    std::weak_ptr<NSURLSession> session_;
    std::uint64_t identifier_;
    std::shared_ptr<NSURLRequest> original_;
    mutable std::mutex mutex_;
    NSURLSessionTaskState state_ = NSURLSessionTaskStateSuspended;
    bool started_ = false;
    std::shared_ptr<NSError> error_;
    std::string description_;
    float priority_ = 0.5f;
    std::shared_ptr<network::Delivery> delivery_;
    std::shared_ptr<network::Loader> loader_;
    std::shared_ptr<NSURLResponse> response_;
    std::int64_t received_ = 0;

    // How the body goes out.
    std::optional<Bytes> uploadData_;
    std::optional<std::string> uploadFile_;
    bool streamed_ = false;

    // Completion-handler form.
    DataCompletion dataCompletion_;
    DownloadCompletion downloadCompletion_;
    Bytes gathered_;

    // Downloads.
    std::string downloadPath_;
    std::FILE* downloadFile_ = nullptr;
    std::int64_t resumeOffset_ = 0;
};

class NSURLSessionDataTask : public NSURLSessionTask {
public:
    using NSURLSessionTask::NSURLSessionTask;
};

class NSURLSessionUploadTask final : public NSURLSessionDataTask {
public:
    using NSURLSessionDataTask::NSURLSessionDataTask;
};

class NSURLSessionDownloadTask final : public NSURLSessionTask {
public:
    using NSURLSessionTask::NSURLSessionTask;
    // Cancels; the handler receives data that downloadTaskWithResumeData can continue from,
    // or nullopt when the download cannot be resumed (no validator, nothing received).
    void cancelByProducingResumeData(std::function<void(std::optional<Bytes>)> handler);

private:
    friend class NSURLSession;
    friend class NSURLSessionTask;
    std::optional<std::string> etag_;
};

class NSURLSession final : public NSObject {
public:
    static std::shared_ptr<NSURLSession> sharedSession();
    static std::shared_ptr<NSURLSession> sessionWithConfiguration(std::shared_ptr<NSURLSessionConfiguration> configuration);
    // Without a queue the session makes a serial one.
    static std::shared_ptr<NSURLSession> sessionWithConfiguration(std::shared_ptr<NSURLSessionConfiguration> configuration,
        std::shared_ptr<NSURLSessionDelegate> delegate, std::shared_ptr<NSOperationQueue> delegateQueue);
    std::string className() const override { return "NSURLSession"; }
    ~NSURLSession() override;

    std::shared_ptr<NSURLSessionDelegate> delegate() const;
    const std::shared_ptr<NSOperationQueue>& delegateQueue() const { return queue_; }
    std::shared_ptr<NSURLSessionConfiguration> configuration() const { return configuration_->copy(); }
    std::string sessionDescription() const;
    void setSessionDescription(std::string description);

    // Each returns nullptr once the session is invalidated.
    std::shared_ptr<NSURLSessionDataTask> dataTaskWithRequest(const std::shared_ptr<NSURLRequest>& request,
        NSURLSessionTask::DataCompletion completion = nullptr);
    std::shared_ptr<NSURLSessionDataTask> dataTaskWithURL(const NSURL& url, NSURLSessionTask::DataCompletion completion = nullptr);
    std::shared_ptr<NSURLSessionUploadTask> uploadTaskWithRequest(const std::shared_ptr<NSURLRequest>& request,
        Bytes body, NSURLSessionTask::DataCompletion completion = nullptr);
    std::shared_ptr<NSURLSessionUploadTask> uploadTaskWithRequestFromFile(const std::shared_ptr<NSURLRequest>& request,
        const NSURL& file, NSURLSessionTask::DataCompletion completion = nullptr);
    // The body comes from the delegate's taskNeedNewBodyStream.
    std::shared_ptr<NSURLSessionUploadTask> uploadTaskWithStreamedRequest(const std::shared_ptr<NSURLRequest>& request);
    std::shared_ptr<NSURLSessionDownloadTask> downloadTaskWithRequest(const std::shared_ptr<NSURLRequest>& request,
        NSURLSessionTask::DownloadCompletion completion = nullptr);
    std::shared_ptr<NSURLSessionDownloadTask> downloadTaskWithResumeData(const Bytes& resumeData,
        NSURLSessionTask::DownloadCompletion completion = nullptr);

    // Answers on the delegate queue with the tasks not yet completed.
    void getTasksWithCompletionHandler(std::function<void(std::vector<std::shared_ptr<NSURLSessionDataTask>>,
            std::vector<std::shared_ptr<NSURLSessionUploadTask>>, std::vector<std::shared_ptr<NSURLSessionDownloadTask>>)>
            handler);
    void finishTasksAndInvalidate();
    void invalidateAndCancel();

    NSURLSession(std::shared_ptr<NSURLSessionConfiguration> configuration, std::shared_ptr<NSURLSessionDelegate> delegate,
        std::shared_ptr<NSOperationQueue> queue);

private:
    friend class NSURLSessionTask;
    template <class T>
    std::shared_ptr<T> makeTask(NSURLSessionTask::Kind kind, const std::shared_ptr<NSURLRequest>& request);
    network::LoaderOptions loaderOptions() const;
    std::shared_ptr<NSURLRequest> prepared(const std::shared_ptr<NSURLRequest>& request) const;
    void taskCompleted(std::uint64_t identifier);
    void invalidateIfDone();

    std::shared_ptr<NSURLSessionConfiguration> configuration_;
    std::shared_ptr<NSOperationQueue> queue_;
    mutable std::mutex mutex_;
    std::shared_ptr<NSURLSessionDelegate> delegate_;
    std::map<std::uint64_t, std::weak_ptr<NSURLSessionTask>> tasks_;
    std::uint64_t nextIdentifier_ = 1;
    std::string description_;
    bool invalidating_ = false;
    bool invalidated_ = false;
};
