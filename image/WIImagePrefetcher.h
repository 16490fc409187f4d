// WIImagePrefetcher: warms the image cache with a list of URLs ahead of display, loading them
// through an image manager a few at a time in list order, with progress and completion blocks
// and an optional delegate. Its state lives on the prefetcher queue (the main queue unless
// changed), where the manager also reports.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>
#include "image/WIImageManager.h"
#include "platform/threading/Dispatch.h"

class WIImagePrefetcher;

class WIImagePrefetcherDelegate {
public:
    virtual ~WIImagePrefetcherDelegate() = default;
    virtual void imagePrefetcherDidPrefetchURL(
        WIImagePrefetcher&, const NSURL&, std::uint64_t /*finishedCount*/, std::uint64_t /*totalCount*/) { }
    virtual void imagePrefetcherDidFinish(WIImagePrefetcher&, std::uint64_t /*totalCount*/, std::uint64_t /*skippedCount*/) { }
};

using WIPrefetcherProgress = std::function<void(std::uint64_t finishedCount, std::uint64_t totalCount)>;
using WIPrefetcherCompletion = std::function<void(std::uint64_t finishedCount, std::uint64_t skippedCount)>;

class WIImagePrefetcher : public std::enable_shared_from_this<WIImagePrefetcher> {
public:
    static std::shared_ptr<WIImagePrefetcher> sharedImagePrefetcher();
    // With a new manager over the shared cache and downloader, whose limit becomes 3.
    static std::shared_ptr<WIImagePrefetcher> create();
    static std::shared_ptr<WIImagePrefetcher> initWithImageManager(std::shared_ptr<WIImageManager> manager);

    void prefetchURLs(std::vector<NSURL> urls, WIPrefetcherProgress progress = {}, WIPrefetcherCompletion completed = {});
    void cancelPrefetching();
    // Starts the URL at `index` of the current list (nothing past its end).
    void startPrefetchingAtIndex(std::size_t index);
    // Tells the delegate the list is done: (list count - skipped, skipped).
    void reportStatus();

    const std::shared_ptr<WIImageManager>& manager() const { return manager_; }
    void setManager(std::shared_ptr<WIImageManager> manager) { manager_ = std::move(manager); }
    const std::vector<NSURL>& prefetchURLs() const { return prefetchURLs_; }
    void setPrefetchURLs(std::vector<NSURL> urls) { prefetchURLs_ = std::move(urls); }
    double startedTime() const { return startedTime_; }
    void setStartedTime(double time) { startedTime_ = time; }
    const WIPrefetcherCompletion& completionBlock() const { return completionBlock_; }
    void setCompletionBlock(WIPrefetcherCompletion block) { completionBlock_ = std::move(block); }
    const WIPrefetcherProgress& progressBlock() const { return progressBlock_; }
    void setProgressBlock(WIPrefetcherProgress block) { progressBlock_ = std::move(block); }
    // Where each next URL is started; the main queue by default.
    const dispatch_queue_t& prefetcherQueue() const { return prefetcherQueue_; }
    void setPrefetcherQueue(dispatch_queue_t queue) { prefetcherQueue_ = std::move(queue); }
    std::uint64_t requestedCount() const { return requestedCount_; }
    std::uint64_t skippedCount() const { return skippedCount_; }
    std::uint64_t finishedCount() const { return finishedCount_; }
    WILoadOptions options() const { return options_; }
    void setOptions(WILoadOptions options) { options_ = options; }
    long maxConcurrentDownloads() const { return manager_->imageDownloader()->maxConcurrentDownloads(); }
    void setMaxConcurrentDownloads(long count) { manager_->imageDownloader()->setMaxConcurrentDownloads(count); }
    std::shared_ptr<WIImagePrefetcherDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<WIImagePrefetcherDelegate>& delegate) { delegate_ = delegate; }

private:
    explicit WIImagePrefetcher(std::shared_ptr<WIImageManager> manager);
    void startPrefetchingAtIndex(std::size_t index, std::uint64_t generation);
    void urlFinished(std::size_t index, std::uint64_t generation, bool gotImage);

    std::shared_ptr<WIImageManager> manager_;
    std::vector<NSURL> prefetchURLs_;
    std::uint64_t requestedCount_ = 0;
    std::uint64_t skippedCount_ = 0;
    std::uint64_t finishedCount_ = 0;
    std::vector<bool> indexFinished_;
    double startedTime_ = 0;
    WIPrefetcherCompletion completionBlock_;
    WIPrefetcherProgress progressBlock_;
    WILoadOptions options_ = WILoadLowPriority;
    std::weak_ptr<WIImagePrefetcherDelegate> delegate_;
    dispatch_queue_t prefetcherQueue_ = dispatch_get_main_queue();
    std::uint64_t generation_ = 0; // reports of a cancelled list are ignored
};
