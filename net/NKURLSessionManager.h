// NKURLSessionManager: one URL session and the delegate of all its callbacks. Each task it
// creates gets a task delegate (progress, body, completion handler); blocks set on the manager
// take part in each kind of callback. It announces the resume, suspend and completion of its
// own tasks, the session's invalidation and failed moves of downloaded files as notifications.
// The session holds the manager until it is invalidated: call invalidateSessionCancelingTasks
// when done with a manager.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/NKNetworkReachabilityManager.h"
#include "net/NKResponseLimit.h"
#include "net/NKSecurityPolicy.h"
#include "net/NKURLResponseSerialization.h"
#include "net/NKURLSessionManagerTaskDelegate.h"
#include "platform/persistence/NSCoder.h"
#include "platform/network/NSURLSession.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/NSLock.h"
#include "platform/threading/NSNotificationCenter.h"

// Never destroyed: threads that outlive main() may still post them.
inline const std::string& NKNetworkingTaskDidResumeNotification = *new std::string("com.pendrasil.networking.task.resume");
inline const std::string& NKNetworkingTaskDidSuspendNotification = *new std::string("com.pendrasil.networking.task.suspend");
inline const std::string& NKNetworkingTaskDidCompleteNotification = *new std::string("com.pendrasil.networking.task.complete");
inline const std::string& NKURLSessionDidInvalidateNotification = *new std::string("com.pendrasil.networking.session.invalidate");
inline const std::string& NKURLSessionDownloadTaskDidFailToMoveFileNotification = *new std::string("com.pendrasil.networking.session.download.file-manager-error");

// Keys of the completion notification's user information.
inline constexpr const char* NKNetworkingTaskDidCompleteResponseSerializerKey = "com.pendrasil.networking.task.complete.responseserializer";
inline constexpr const char* NKNetworkingTaskDidCompleteResponseDataKey = "com.pendrasil.networking.complete.finish.responsedata";
inline constexpr const char* NKNetworkingTaskDidCompleteAssetPathKey = "com.pendrasil.networking.task.complete.assetpath";
inline constexpr const char* NKNetworkingTaskDidCompleteSerializedResponseKey = "com.pendrasil.networking.task.complete.serializedresponse";
inline constexpr const char* NKNetworkingTaskDidCompleteErrorKey = "com.pendrasil.networking.task.complete.error";

class NKURLSessionManager : public NSObject, public NSURLSessionDelegate {
public:
    using SessionRef = std::shared_ptr<NSURLSession>;
    using TaskRef = std::shared_ptr<NSURLSessionTask>;
    using DataTaskRef = std::shared_ptr<NSURLSessionDataTask>;
    using UploadTaskRef = std::shared_ptr<NSURLSessionUploadTask>;
    using DownloadTaskRef = std::shared_ptr<NSURLSessionDownloadTask>;
    using ChallengeRef = std::shared_ptr<NSURLAuthenticationChallenge>;
    using CredentialRef = std::shared_ptr<NSURLCredential>;
    using CompletionHandler = NKURLSessionManagerTaskDelegate::CompletionHandler;
    // Temporary location and response; the final location, or none to keep nothing.
    using Destination = std::function<std::optional<NSURL>(const NSURL&, const std::shared_ptr<NSURLResponse>&)>;

    // The fifteen callback blocks.
    using SessionDidBecomeInvalidBlock = std::function<void(const SessionRef&, const NSErrorRef&)>;
    using SessionDidReceiveChallengeBlock
        = std::function<NSURLSessionAuthChallengeDisposition(const SessionRef&, const ChallengeRef&, CredentialRef& credential)>;
    using SessionDidFinishEventsBlock = std::function<void(const SessionRef&)>;
    using TaskWillPerformHTTPRedirectionBlock = std::function<std::shared_ptr<NSURLRequest>(const SessionRef&, const TaskRef&,
        const std::shared_ptr<NSURLResponse>&, const std::shared_ptr<NSURLRequest>&)>;
    using TaskDidReceiveChallengeBlock = std::function<NSURLSessionAuthChallengeDisposition(
        const SessionRef&, const TaskRef&, const ChallengeRef&, CredentialRef& credential)>;
    using TaskNeedNewBodyStreamBlock = std::function<std::shared_ptr<NSInputStream>(const SessionRef&, const TaskRef&)>;
    using TaskDidSendBodyDataBlock = std::function<void(const SessionRef&, const TaskRef&, std::int64_t, std::int64_t, std::int64_t)>;
    using TaskDidCompleteBlock = std::function<void(const SessionRef&, const TaskRef&, const NSErrorRef&)>;
    using DataTaskDidReceiveResponseBlock
        = std::function<NSURLSessionResponseDisposition(const SessionRef&, const DataTaskRef&, const std::shared_ptr<NSURLResponse>&)>;
    using DataTaskDidBecomeDownloadTaskBlock = std::function<void(const SessionRef&, const DataTaskRef&, const DownloadTaskRef&)>;
    using DataTaskDidReceiveDataBlock = std::function<void(const SessionRef&, const DataTaskRef&, const Bytes&)>;
    using DataTaskWillCacheResponseBlock = std::function<std::shared_ptr<NSCachedURLResponse>(
        const SessionRef&, const DataTaskRef&, const std::shared_ptr<NSCachedURLResponse>&)>;
    using DownloadTaskDidFinishDownloadingBlock = NKURLSessionManagerTaskDelegate::DownloadDestination;
    using DownloadTaskDidWriteDataBlock
        = std::function<void(const SessionRef&, const DownloadTaskRef&, std::int64_t, std::int64_t, std::int64_t)>;
    using DownloadTaskDidResumeBlock = std::function<void(const SessionRef&, const DownloadTaskRef&, std::int64_t, std::int64_t)>;

    // Without a configuration, the platform's default one.
    static std::shared_ptr<NKURLSessionManager> initWithSessionConfiguration(
        std::shared_ptr<NSURLSessionConfiguration> configuration = nullptr);
    ~NKURLSessionManager() override;
    std::string className() const override { return "NKURLSessionManager"; }
    std::string description() const override;

    // Archiving with secure coding: the session's configuration under "sessionConfiguration".
    // A manager restored from an archive is made anew with that configuration.
    static constexpr bool supportsSecureCoding() { return true; }
    virtual void encodeWithCoder(NSCoder& coder) const;
    static std::shared_ptr<NKURLSessionManager> initWithCoder(NSCoder& coder);

    // Tasks, not yet resumed. Each returns nullptr when the session makes no task (it was
    // invalidated). `progress`, when given, receives the task's progress object.
    DataTaskRef dataTaskWithRequest(const std::shared_ptr<NSURLRequest>& request, CompletionHandler completionHandler);
    UploadTaskRef uploadTaskWithRequestFromFile(const std::shared_ptr<NSURLRequest>& request, const NSURL& fileURL,
        std::shared_ptr<NSProgress>* progress, CompletionHandler completionHandler);
    UploadTaskRef uploadTaskWithRequestFromData(const std::shared_ptr<NSURLRequest>& request, const Bytes& bodyData,
        std::shared_ptr<NSProgress>* progress, CompletionHandler completionHandler);
    // The body is the request's body stream.
    UploadTaskRef uploadTaskWithStreamedRequest(const std::shared_ptr<NSURLRequest>& request,
        std::shared_ptr<NSProgress>* progress, CompletionHandler completionHandler);
    DownloadTaskRef downloadTaskWithRequest(const std::shared_ptr<NSURLRequest>& request,
        std::shared_ptr<NSProgress>* progress, Destination destination, CompletionHandler completionHandler);
    DownloadTaskRef downloadTaskWithResumeData(const Bytes& resumeData, std::shared_ptr<NSProgress>* progress,
        Destination destination, CompletionHandler completionHandler);

    // The task delegate's progress, or nullptr for a task the manager does not know.
    std::shared_ptr<NSProgress> uploadProgressForTask(const TaskRef& task) const;
    std::shared_ptr<NSProgress> downloadProgressForTask(const TaskRef& task) const;

    // On the main queue: invalidate the session, cancelling its tasks or letting them finish.
    void invalidateSessionCancelingTasks(bool cancelPendingTasks);

    // The session's current tasks; they block until the session answers on its delegate queue
    // (called on that queue itself they answer empty lists instead of waiting forever).
    std::vector<TaskRef> tasks() const;
    std::vector<TaskRef> dataTasks() const;
    std::vector<TaskRef> uploadTasks() const;
    std::vector<TaskRef> downloadTasks() const;
    // The marker written into the description of every task this manager creates.
    std::string taskDescriptionForSessionTasks() const;

    const SessionRef& session() const { return session_; }
    const std::shared_ptr<NSOperationQueue>& operationQueue() const { return operationQueue_; }
    std::shared_ptr<NSURLSessionConfiguration> sessionConfiguration() const { return sessionConfiguration_; }
    std::shared_ptr<NKHTTPResponseSerializer> responseSerializer() const;
    void setResponseSerializer(std::shared_ptr<NKHTTPResponseSerializer> serializer);
    std::shared_ptr<NKSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(std::shared_ptr<NKSecurityPolicy> policy);
    const std::shared_ptr<NKNetworkReachabilityManager>& reachabilityManager() const { return reachabilityManager_; }
    void setReachabilityManager(std::shared_ptr<NKNetworkReachabilityManager> manager) { reachabilityManager_ = std::move(manager); }
    // None: the main queue.
    dispatch_queue_t completionQueue() const;
    void setCompletionQueue(dispatch_queue_t queue);
    // None: the group every manager shares.
    dispatch_group_t completionGroup() const;
    void setCompletionGroup(dispatch_group_t group);
    // The most body bytes a data task's reply may bring (kept in memory until it completes);
    // a longer one fails with NSURLErrorDataLengthExceedsMaximum. Downloads are not limited.
    std::uint64_t maximumResponseDataLength() const { return maximumResponseDataLength_.load(); }
    void setMaximumResponseDataLength(std::uint64_t bytes) { maximumResponseDataLength_ = bytes; }
    bool attemptsToRecreateUploadTasksForBackgroundSessions() const { return recreateUploads_; }
    void setAttemptsToRecreateUploadTasksForBackgroundSessions(bool attempts) { recreateUploads_ = attempts; }

    void setSessionDidBecomeInvalidBlock(SessionDidBecomeInvalidBlock block);
    void setSessionDidReceiveAuthenticationChallengeBlock(SessionDidReceiveChallengeBlock block);
    void setDidFinishEventsForBackgroundURLSessionBlock(SessionDidFinishEventsBlock block);
    void setTaskWillPerformHTTPRedirectionBlock(TaskWillPerformHTTPRedirectionBlock block);
    void setTaskDidReceiveAuthenticationChallengeBlock(TaskDidReceiveChallengeBlock block);
    void setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block);
    void setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block);
    void setTaskDidCompleteBlock(TaskDidCompleteBlock block);
    void setDataTaskDidReceiveResponseBlock(DataTaskDidReceiveResponseBlock block);
    void setDataTaskDidBecomeDownloadTaskBlock(DataTaskDidBecomeDownloadTaskBlock block);
    void setDataTaskDidReceiveDataBlock(DataTaskDidReceiveDataBlock block);
    void setDataTaskWillCacheResponseBlock(DataTaskWillCacheResponseBlock block);
    void setDownloadTaskDidFinishDownloadingBlock(DownloadTaskDidFinishDownloadingBlock block);
    void setDownloadTaskDidWriteDataBlock(DownloadTaskDidWriteDataBlock block);
    void setDownloadTaskDidResumeBlock(DownloadTaskDidResumeBlock block);

    // A new manager with the session's configuration, a copy of the security policy and the
    // same reply limit; no blocks, task delegates or serializer settings. A subclass copies
    // into its own class, so a copy made through this type keeps what the subclass adds.
    virtual std::shared_ptr<NKURLSessionManager> copy() const;

    // The session's callbacks.
    bool respondsTo(NSURLSessionDelegateMethod method) const override;
    void URLSessionDidBecomeInvalidWithError(const SessionRef& session, const NSErrorRef& error) override;
    void URLSessionDidReceiveChallenge(const SessionRef& session, const ChallengeRef& challenge, ChallengeCompletion completion) override;
    void URLSessionDidFinishEventsForBackgroundURLSession(const SessionRef& session) override;
    void taskWillPerformHTTPRedirection(const SessionRef& session, const TaskRef& task, const std::shared_ptr<NSHTTPURLResponse>& response,
        const std::shared_ptr<NSURLRequest>& request, std::function<void(std::shared_ptr<NSURLRequest>)> completion) override;
    void taskDidReceiveChallenge(const SessionRef& session, const TaskRef& task, const ChallengeRef& challenge,
        ChallengeCompletion completion) override;
    void taskNeedNewBodyStream(const SessionRef& session, const TaskRef& task,
        std::function<void(std::shared_ptr<NSInputStream>)> completion) override;
    void taskDidSendBodyData(const SessionRef& session, const TaskRef& task, std::int64_t bytesSent, std::int64_t totalBytesSent,
        std::int64_t totalBytesExpectedToSend) override;
    void taskDidCompleteWithError(const SessionRef& session, const TaskRef& task, const NSErrorRef& error) override;
    void dataTaskDidReceiveResponse(const SessionRef& session, const DataTaskRef& task, const std::shared_ptr<NSURLResponse>& response,
        std::function<void(NSURLSessionResponseDisposition)> completion) override;
    void dataTaskDidBecomeDownloadTask(const SessionRef& session, const DataTaskRef& task, const DownloadTaskRef& download) override;
    void dataTaskDidReceiveData(const SessionRef& session, const DataTaskRef& task, const Bytes& data) override;
    void dataTaskWillCacheResponse(const SessionRef& session, const DataTaskRef& task,
        const std::shared_ptr<NSCachedURLResponse>& proposed,
        std::function<void(std::shared_ptr<NSCachedURLResponse>)> completion) override;
    void downloadTaskDidFinishDownloadingToURL(const SessionRef& session, const DownloadTaskRef& task, const NSURL& location) override;
    void downloadTaskDidWriteData(const SessionRef& session, const DownloadTaskRef& task, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;
    void downloadTaskDidResumeAtOffset(const SessionRef& session, const DownloadTaskRef& task, std::int64_t fileOffset,
        std::int64_t expectedTotalBytes) override;

    // Made by the factories; setUpSession() must follow before use.
    explicit NKURLSessionManager(std::shared_ptr<NSURLSessionConfiguration> configuration);

protected:
    // Creates the session with this manager as its delegate, adopts the tasks it already has
    // and starts listening for task resumes and suspends.
    void setUpSession();
    // Gives `other` what every copy takes over: a copy of the security policy, the reply limit.
    void copySettingsTo(NKURLSessionManager& other) const;

private:
    struct Blocks;
    std::shared_ptr<NKURLSessionManagerTaskDelegate> delegateForTask(const TaskRef& task) const;
    void setDelegateForTask(std::shared_ptr<NKURLSessionManagerTaskDelegate> delegate, const TaskRef& task);
    void removeDelegateForTask(const TaskRef& task);
    void removeAllDelegates();
    std::shared_ptr<NKURLSessionManagerTaskDelegate> newTaskDelegate(const TaskRef& task, CompletionHandler completionHandler);
    void addDelegateForDataTask(const DataTaskRef& task, CompletionHandler completionHandler);
    void addDelegateForUploadTask(const UploadTaskRef& task, std::shared_ptr<NSProgress>* progress, CompletionHandler completionHandler);
    void addDelegateForDownloadTask(const DownloadTaskRef& task, std::shared_ptr<NSProgress>* progress, Destination destination,
        CompletionHandler completionHandler);
    std::vector<TaskRef> tasksForKeyPath(const std::string& keyPath) const;
    void taskDidResume(const std::shared_ptr<NSNotification>& notification);
    void taskDidSuspend(const std::shared_ptr<NSNotification>& notification);
    std::shared_ptr<const Blocks> blocks() const;
    void changeBlocks(const std::function<void(Blocks&)>& change);
    NSURLSessionAuthChallengeDisposition evaluateChallenge(const ChallengeRef& challenge, CredentialRef& credential) const;

    bool recreateUploads_ = false;
    std::atomic<std::uint64_t> maximumResponseDataLength_ { NKDefaultMaximumResponseDataLength };
    SessionRef session_;
    std::shared_ptr<NSOperationQueue> operationQueue_;
    std::shared_ptr<NSURLSessionConfiguration> sessionConfiguration_;
    std::shared_ptr<NKNetworkReachabilityManager> reachabilityManager_;
    mutable std::mutex settingsMutex_; // the serializer, policy, queue, group and blocks
    std::shared_ptr<NKHTTPResponseSerializer> responseSerializer_;
    std::shared_ptr<NKSecurityPolicy> securityPolicy_;
    dispatch_queue_t completionQueue_;
    dispatch_group_t completionGroup_;
    std::shared_ptr<const Blocks> blocks_;
    mutable NSLock lock_; // guards the task delegates
    std::map<std::uint64_t, std::shared_ptr<NKURLSessionManagerTaskDelegate>> mutableTaskDelegatesKeyedByTaskIdentifier_;
};
