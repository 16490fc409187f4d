// NKURLSessionManagerTaskDelegate: what the session manager keeps for one task. It tracks the
// task's progress, collects its body, moves a finished download to its destination and, when
// the task ends, turns the reply into a response object with the manager's response serializer
// on the shared processing queue, calls the completion handler on the completion queue and
// announces the completion on the main queue.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "net/NSProgress.h"
#include "platform/threading/Dispatch.h"
#include "platform/foundation/NSURL.h"
#include "platform/network/NSURLSession.h"

class NKURLSessionManager;

namespace net {
// The queue and group every session manager shares (created once, kept for the process).
dispatch_queue_t sessionManagerCreationQueue();
dispatch_queue_t sessionManagerProcessingQueue();
dispatch_group_t sessionManagerCompletionGroup();
// Moves a finished download from `location` to `destination`; on failure posts the manager's
// file-manager-error notification (on the calling thread) and returns the error.
NSErrorRef moveDownloadedFile(const std::shared_ptr<NSURLSessionDownloadTask>& task, const NSURL& location,
    const NSURL& destination);
} // namespace net

class NKURLSessionManagerTaskDelegate : public NSObject {
public:
    // Response, response object (absent when none), error.
    using CompletionHandler = std::function<void(const std::shared_ptr<NSURLResponse>&, const Value&, const NSErrorRef&)>;
    // Session, download task, temporary location; the destination, or none to keep nothing.
    using DownloadDestination = std::function<std::optional<NSURL>(
        const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDownloadTask>&, const NSURL&)>;

    NKURLSessionManagerTaskDelegate();
    std::string className() const override { return "NKURLSessionManagerTaskDelegate"; }

    std::weak_ptr<NKURLSessionManager> manager;
    CompletionHandler completionHandler;
    DownloadDestination downloadTaskDidFinishDownloading;

    const std::shared_ptr<NSProgress>& progress() const { return progress_; }
    const std::optional<NSURL>& downloadFileURL() const { return downloadFileURL_; }
    void setDownloadFileURL(std::optional<NSURL> url) { downloadFileURL_ = std::move(url); }
    // A move of the downloaded file that failed: the task then completes with this error.
    void setDownloadMoveError(NSErrorRef error) { moveError_ = std::move(error); }

    // Session callbacks, on the session's delegate queue.
    void taskDidSendBodyData(std::int64_t totalSent, std::int64_t totalExpected);
    // Collects the body; past `limit` bytes (or when the reply announces more) the task is
    // cancelled and completes with NSURLErrorDataLengthExceedsMaximum instead.
    void dataTaskDidReceiveData(const std::shared_ptr<NSURLSessionTask>& task, const Bytes& data, std::uint64_t limit);
    void downloadTaskDidWriteData(std::int64_t totalWritten, std::int64_t totalExpected);
    void downloadTaskDidResume(std::int64_t fileOffset, std::int64_t expectedTotal);
    void downloadTaskDidFinishDownloadingToURL(const std::shared_ptr<NSURLSession>& session,
        const std::shared_ptr<NSURLSessionDownloadTask>& task, const NSURL& location);
    void taskDidComplete(const std::shared_ptr<NSURLSessionTask>& task, const NSErrorRef& error);

private:
    void deliver(const std::shared_ptr<NKURLSessionManager>& manager, const std::shared_ptr<NSURLSessionTask>& task,
        Value userInfo, const Value& responseObject, const NSErrorRef& error);

    Bytes mutableData_;
    std::shared_ptr<NSProgress> progress_;
    std::optional<NSURL> downloadFileURL_;
    NSErrorRef moveError_;
    NSErrorRef tooLargeError_;
};
