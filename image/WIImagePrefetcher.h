// WIImagePrefetcher: warms the image cache with a list of URLs ahead of display, loading them
// through an image manager a few at a time in list order, with progress and completion blocks
// and an optional delegate. All its state lives on the main queue.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>
#include "image/WIImageManager.h"

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

    const std::shared_ptr<WIImageManager>& manager() const { return manager_; }
    std::uint64_t requestedCount() const { return requestedCount_; }
    std::uint64_t skippedCount() const { return skippedCount_; }
    std::uint64_t finishedCount() const { return finishedCount_; }
    WILoadOptions options() const { return options_; }
    void setOptions(WILoadOptions options) { options_ = options; }
    long maxConcurrentDownloads() const { return manager_->imageDownloader()->maxConcurrentDownloads(); }
    void setMaxConcurrentDownloads(long count) { manager_->imageDownloader()->setMaxConcurrentDownloads(count); }
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
    std::uint64_t generation_ = 0; // reports of a cancelled list are ignored
};
