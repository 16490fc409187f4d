// WIImageDownloader: turns URLs into downloaded images on an operation queue (6 at once by
// default, FIFO or LIFO), builds each request, and joins concurrent requests for one URL into
// a single download whose progress and results reach every requester. Each requester gets its
// own handle: cancelling it drops that requester, and the transfer stops when none is left.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include "image/WIImageDownloaderOperation.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/NSOperation.h"

enum WIDownloadOrder : long {
    WIDownloadOrderFIFO = 0,
    WIDownloadOrderLIFO = 1,
};

using WIHeadersFilter = std::function<Value(const NSURL& url, const Value& headers)>;
using WIOperationFactory = std::function<std::shared_ptr<WIImageDownloaderOperation>(std::shared_ptr<NSURLRequest>,
    WIDownloadOptions, WIDownloadProgress, WIDownloadCompletion, WIDownloadCancelled)>;

class WIImageDownloader;

// One requester's callbacks; either may be empty.
struct WIDownloadCallbacks {
    WIDownloadProgress progress;
    WIDownloadCompletion completed;
};

// A network-activity indicator: the downloader's start and stop notifications drive it when the
// process has one (see image::setNetworkActivityIndicatorClass).
class WINetworkActivityIndicator {
public:
    virtual ~WINetworkActivityIndicator() = default;
    virtual void startActivity() = 0;
    virtual void stopActivity() = 0;
};

namespace image {
// Gives the process the class "WINetworkActivityIndicator": `sharedActivityIndicator` answers
// its shared instance. The downloader class looks for it once, at its first use.
void setNetworkActivityIndicatorClass(std::function<std::shared_ptr<WINetworkActivityIndicator>()> sharedActivityIndicator);
} // namespace image

// One requester's place in a download. `operation()` is the download it started, or null when
// it joined one already running.
class WIImageDownloadToken final : public WIImageOperation {
public:
    void cancel() override;
    const std::shared_ptr<WIImageDownloaderOperation>& operation() const { return operation_; }

private:
    friend class WIImageDownloader;
    std::weak_ptr<WIImageDownloader> downloader_;
    std::string url_;
    std::uint64_t id_ = 0;
    std::shared_ptr<WIImageDownloaderOperation> operation_;
};

class WIImageDownloader : public std::enable_shared_from_this<WIImageDownloader> {
public:
    static std::shared_ptr<WIImageDownloader> sharedDownloader();
    static std::shared_ptr<WIImageDownloader> create();
    ~WIImageDownloader();
    WIImageDownloader(const WIImageDownloader&) = delete;
    WIImageDownloader& operator=(const WIImageDownloader&) = delete;

    void setValueForHTTPHeaderField(const std::optional<std::string>& value, const std::string& field);
    std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
    Value HTTPHeaders() const;

    void setMaxConcurrentDownloads(long count) { downloadQueue_->setMaxConcurrentOperationCount(count); }
    long maxConcurrentDownloads() const { return downloadQueue_->maxConcurrentOperationCount(); }
    std::size_t currentDownloadCount() const { return downloadQueue_->operationCount(); }
    void setSuspended(bool suspended) { downloadQueue_->setSuspended(suspended); }
    // An empty factory restores the standard operation.
    void setOperationClass(WIOperationFactory factory);

    // A nil URL answers (nil, nil, nil, NO) at once and returns null.
    std::shared_ptr<WIImageDownloadToken> downloadImageWithURL(const std::optional<NSURL>& url, WIDownloadOptions options,
        WIDownloadProgress progress, WIDownloadCompletion completed);

    bool shouldDecompressImages() const { return shouldDecompressImages_; }
    void setShouldDecompressImages(bool value) { shouldDecompressImages_ = value; }
    // The largest body each new download accepts (WIDefaultMaxImageBodySize unless changed).
    std::int64_t maxBodySize() const { return maxBodySize_; }
    void setMaxBodySize(std::int64_t bytes) { maxBodySize_ = bytes; }
    double downloadTimeout() const { return downloadTimeout_; }
    void setDownloadTimeout(double seconds) { downloadTimeout_ = seconds; }
    WIDownloadOrder executionOrder() const { return executionOrder_; }
    void setExecutionOrder(WIDownloadOrder order) { executionOrder_ = order; }
    // With both set, every download answers an authentication challenge with them.
    const std::string& username() const { return username_; }
    void setUsername(std::string username) { username_ = std::move(username); }
    const std::string& password() const { return password_; }
    void setPassword(std::string password) { password_ = std::move(password); }
    const WIHeadersFilter& headersFilter() const { return headersFilter_; }
    void setHeadersFilter(WIHeadersFilter filter) { headersFilter_ = std::move(filter); }
    const std::shared_ptr<NSOperationQueue>& downloadQueue() const { return downloadQueue_; }
    // The newest download, kept in LIFO order only (null once it is gone).
    std::shared_ptr<WIImageDownloaderOperation> lastAddedOperation() const;
    // The requesters waiting per URL (by absolute string), in the order they asked: a copy.
    std::map<std::string, std::vector<WIDownloadCallbacks>> URLCallbacks() const;
    // Requesters waiting for the URL's download (0 when none runs).
    std::size_t requesterCount(const NSURL& url) const;

private:
    friend class WIImageDownloadToken;
    struct Requester {
        std::uint64_t id = 0;
        WIDownloadCallbacks callbacks;
    };
    struct Entry {
        std::weak_ptr<WIImageDownloaderOperation> operation;
        std::vector<Requester> requesters;
    };
    WIImageDownloader();
    static void initializeClass();
    std::shared_ptr<WIImageDownloaderOperation> makeOperation(const NSURL& url, WIDownloadOptions options);
    void removeRequester(const std::string& url, std::uint64_t id);
    void operationProgress(const std::string& url, std::int64_t received, std::int64_t expected);
    void operationCompleted(const std::string& url, const WIImageDownloaderOperation* operation, UIImageRef image,
        std::optional<Bytes> data, std::shared_ptr<NSError> error, bool finished);
    void operationCancelled(const std::string& url, const WIImageDownloaderOperation* operation);

    bool shouldDecompressImages_ = true;
    std::int64_t maxBodySize_ = WIDefaultMaxImageBodySize;
    double downloadTimeout_ = 15.0;
    WIDownloadOrder executionOrder_ = WIDownloadOrderFIFO;
    std::string username_;
    std::string password_;
    WIHeadersFilter headersFilter_;
    std::shared_ptr<NSOperationQueue> downloadQueue_;
    std::weak_ptr<WIImageDownloaderOperation> lastAddedOperation_;
    WIOperationFactory operationClass_;
    mutable std::mutex headersMutex_;
    Value HTTPHeaders_;
    // Requesters per URL, by absolute URL string.
    mutable std::mutex callbacksMutex_;
    std::map<std::string, Entry> URLCallbacks_;
    std::uint64_t nextRequesterId_ = 1;
};
