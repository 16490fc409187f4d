// WIImageDownloaderOperation: one image download as a concurrent operation. It runs a URL
// connection on the run loop of the queue thread that starts it, checks the status, collects
// the bytes (decoding partial images when asked), decodes the result and reports it, and posts
// the start, response, stop and finish notifications on the main queue.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include "image/WIImageTypes.h"
#include "platform/network/NSURLConnection.h"
#include "platform/threading/NSOperation.h"
#include "platform/threading/NSRunLoop.h"

using WIDownloadOptions = std::uint64_t;
inline constexpr WIDownloadOptions WIDownloadLowPriority = 1;
inline constexpr WIDownloadOptions WIDownloadProgressive = 2;
inline constexpr WIDownloadOptions WIDownloadUseURLCache = 4;
inline constexpr WIDownloadOptions WIDownloadIgnoreCachedResponse = 8;
inline constexpr WIDownloadOptions WIDownloadContinueInBackground = 16;
inline constexpr WIDownloadOptions WIDownloadHandleCookies = 32;
inline constexpr WIDownloadOptions WIDownloadAllowInvalidCertificates = 64;
inline constexpr WIDownloadOptions WIDownloadHighPriority = 128;

using WIDownloadCompletion
    = std::function<void(UIImageRef image, std::optional<Bytes> data, std::shared_ptr<NSError> error, bool finished)>;
using WIDownloadCancelled = std::function<void()>;

// The largest image body a download accepts unless changed: 20 MiB.
inline constexpr std::int64_t WIDefaultMaxImageBodySize = 20 << 20;

// Never destroyed: threads that outlive main() may still post them.
inline const std::string& WIImageDownloadStartNotification = *new std::string("WIImageDownloadStartNotification");
inline const std::string& WIImageDownloadReceiveResponseNotification = *new std::string("WIImageDownloadReceiveResponseNotification");
inline const std::string& WIImageDownloadStopNotification = *new std::string("WIImageDownloadStopNotification");
inline const std::string& WIImageDownloadFinishNotification = *new std::string("WIImageDownloadFinishNotification");

class WIImageDownloaderOperation : public NSOperation, public WIImageOperation, public NSURLConnectionDelegate {
public:
    WIImageDownloaderOperation(std::shared_ptr<NSURLRequest> request, WIDownloadOptions options,
        WIDownloadProgress progress, WIDownloadCompletion completed, WIDownloadCancelled cancelled);
    std::string className() const override { return "WIImageDownloaderOperation"; }

    void start() override;
    void cancel() override;
    bool isConcurrent() const override { return true; }
    bool isExecuting() const override;
    bool isFinished() const override;

    const std::shared_ptr<NSURLRequest>& request() const { return request_; }
    WIDownloadOptions options() const { return options_; }
    bool shouldDecompressImages() const { return shouldDecompressImages_; }
    void setShouldDecompressImages(bool value) { shouldDecompressImages_ = value; }
    // A body longer than this (announced or received) fails the download with NSURLErrorDomain
    // NSURLErrorDataLengthExceedsMaximum (-1103) before more of it is held.
    std::int64_t maxBodySize() const { return maxBodySize_; }
    void setMaxBodySize(std::int64_t bytes) { maxBodySize_ = bytes; }
    bool shouldUseCredentialStorage() const { return shouldUseCredentialStorage_; }
    void setShouldUseCredentialStorage(bool value) { shouldUseCredentialStorage_ = value; }
    std::shared_ptr<NSURLCredential> credential() const;
    void setCredential(std::shared_ptr<NSURLCredential> credential);
    std::int64_t expectedSize() const { return expectedSize_; }
    std::shared_ptr<NSURLResponse> response() const;
    bool shouldContinueWhenAppEntersBackground() const { return (options_ & WIDownloadContinueInBackground) != 0; }
    static UIImageOrientation orientationFromPropertyValue(long value);

    // Connection delegate.
    void connectionDidReceiveResponse(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLResponse>& response) override;
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>& connection, const Bytes& data) override;
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>& connection) override;
    void connectionDidFailWithError(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSError>& error) override;
    std::shared_ptr<NSCachedURLResponse> connectionWillCacheResponse(const std::shared_ptr<NSURLConnection>& connection,
        const std::shared_ptr<NSCachedURLResponse>& cachedResponse) override;
    bool connectionShouldUseCredentialStorage(const std::shared_ptr<NSURLConnection>& connection) override;
    void connectionWillSendRequestForAuthenticationChallenge(const std::shared_ptr<NSURLConnection>& connection,
        const std::shared_ptr<NSURLAuthenticationChallenge>& challenge) override;

private:
    std::shared_ptr<WIImageDownloaderOperation> self() { return sharedAs<WIImageDownloaderOperation>(); }
    void setExecuting(bool value);
    void setFinished(bool value);
    void done();
    void reset();
    void cancelInternal();
    void cancelInternalAndStop();
    // A cancel is marked under the lock and completed (callback, connection, notification)
    // outside it: the callback takes the downloader's lock, which is held while the downloader
    // reads an operation's state, so the operation never calls out while holding its own.
    struct Cancellation {
        bool started = false;
        WIDownloadCancelled cancelled;
        std::shared_ptr<NSURLConnection> connection;
    };
    Cancellation beginCancelLocked();
    void completeCancel(Cancellation cancellation);
    void post(const std::string& name);
    // Ends the transfer under the lock and hands back the completion to call outside it.
    WIDownloadCompletion endTransfer(bool postFinish);
    void deliverPartialImage();
    // Ends the operation's own run of its thread's loop, and only that: a stop once the run is
    // over would end the next run on the thread, which may be another operation's.
    void stopOwnRun();
    // Ends the transfer with `error` for every requester: stop notification, run loop stopped.
    void failTransfer(const std::shared_ptr<NSURLConnection>& connection, std::shared_ptr<NSError> error);
    std::string cacheKey() const;

    mutable std::recursive_mutex lock_;
    std::shared_ptr<NSURLRequest> request_;
    WIDownloadOptions options_;
    WIDownloadProgress progressBlock_;
    WIDownloadCompletion completedBlock_;
    WIDownloadCancelled cancelBlock_;
    bool shouldDecompressImages_ = true;
    bool shouldUseCredentialStorage_ = true;
    std::int64_t maxBodySize_ = WIDefaultMaxImageBodySize;
    std::shared_ptr<NSURLCredential> credential_;
    // Read without the lock, so that asking an operation its state never waits on it.
    std::atomic<bool> executing_ { false };
    std::atomic<bool> finished_ { false };
    // Set by a cancel handed to the run loop: pieces already at hand reach the data callback
    // back to back, before the loop gets to the handed cancel, so that callback cancels first.
    std::atomic<bool> cancelAsked_ { false };
    bool responseFromCached_ = true;
    std::int64_t expectedSize_ = 0;
    std::size_t width_ = 0;
    std::size_t height_ = 0;
    UIImageOrientation orientation_ = UIImageOrientationUp;
    std::shared_ptr<NSURLResponse> response_;
    std::optional<Bytes> imageData_;
    std::shared_ptr<NSURLConnection> connection_;
    std::shared_ptr<NSRunLoop> runLoop_;
    bool inOwnRun_ = false; // on the operation's thread only
};
