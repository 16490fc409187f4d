// The prefetcher: a list of URLs loaded a few at a time, counted and reported.
#include "image/WIImagePrefetcher.h"
#include "platform/foundation/Clock.h"

std::shared_ptr<WIImagePrefetcher> WIImagePrefetcher::sharedImagePrefetcher()
{
    static std::shared_ptr<WIImagePrefetcher> shared = create();
    return shared;
}

std::shared_ptr<WIImagePrefetcher> WIImagePrefetcher::create() { return initWithImageManager(WIImageManager::create()); }

std::shared_ptr<WIImagePrefetcher> WIImagePrefetcher::initWithImageManager(std::shared_ptr<WIImageManager> manager)
{
    return std::shared_ptr<WIImagePrefetcher>(new WIImagePrefetcher(std::move(manager)));
}

WIImagePrefetcher::WIImagePrefetcher(std::shared_ptr<WIImageManager> manager)
    : manager_(std::move(manager))
{
    setMaxConcurrentDownloads(3);
}

void WIImagePrefetcher::cancelPrefetching()
{
    ++generation_;
    prefetchURLs_.clear();
    indexFinished_.clear();
    requestedCount_ = 0;
    skippedCount_ = 0;
    finishedCount_ = 0;
    completionBlock_ = nullptr;
    progressBlock_ = nullptr;
    manager_->cancelAll();
}

void WIImagePrefetcher::prefetchURLs(std::vector<NSURL> urls, WIPrefetcherProgress progress, WIPrefetcherCompletion completed)
{
    cancelPrefetching();
    startedTime_ = foundation::clock::now();
    prefetchURLs_ = std::move(urls);
    indexFinished_.assign(prefetchURLs_.size(), false);
    progressBlock_ = std::move(progress);
    completionBlock_ = std::move(completed);
    if (prefetchURLs_.empty()) {
        if (auto done = std::exchange(completionBlock_, nullptr)) {
            done(0, 0);
        }
        return;
    }
    std::uint64_t generation = generation_;
    std::size_t limit = std::size_t(std::max(1L, maxConcurrentDownloads()));
    for (std::size_t index = 0; index < limit && requestedCount_ < prefetchURLs_.size(); ++index) {
        startPrefetchingAtIndex(index, generation);
    }
}

void WIImagePrefetcher::startPrefetchingAtIndex(std::size_t index) { startPrefetchingAtIndex(index, generation_); }

void WIImagePrefetcher::reportStatus()
{
    if (auto delegate = delegate_.lock()) {
        std::uint64_t total = prefetchURLs_.size();
        delegate->imagePrefetcherDidFinish(*this, total - skippedCount_, skippedCount_);
    }
}

void WIImagePrefetcher::startPrefetchingAtIndex(std::size_t index, std::uint64_t generation)
{
    if (generation != generation_ || index >= prefetchURLs_.size()) {
        return;
    }
    ++requestedCount_;
    std::weak_ptr<WIImagePrefetcher> weak = weak_from_this();
    manager_->downloadImageWithURL(prefetchURLs_[index], options_, {},
        [weak, index, generation](UIImageRef image, std::shared_ptr<NSError>, WICacheSource, bool finished,
            std::optional<NSURL>) {
            auto strong = weak.lock();
            if (strong && finished) {
                strong->urlFinished(index, generation, image != nullptr);
            }
        });
}

void WIImagePrefetcher::urlFinished(std::size_t index, std::uint64_t generation, bool gotImage)
{
    // A refreshed URL may report twice; each index counts once.
    if (generation != generation_ || index >= indexFinished_.size() || indexFinished_[index]) {
        return;
    }
    indexFinished_[index] = true;
    ++finishedCount_;
    std::uint64_t total = prefetchURLs_.size();
    if (progressBlock_) {
        progressBlock_(finishedCount_, total);
    }
    if (!gotImage) {
        ++skippedCount_;
    }
    if (auto delegate = delegate_.lock()) {
        delegate->imagePrefetcherDidPrefetchURL(*this, prefetchURLs_[index], finishedCount_, total);
    }
    if (total > requestedCount_) {
        std::weak_ptr<WIImagePrefetcher> weak = weak_from_this();
        dispatch_async(prefetcherQueue_, [weak, generation] {
            if (auto strong = weak.lock()) {
                strong->startPrefetchingAtIndex(std::size_t(strong->requestedCount_), generation);
            }
        });
        return;
    }
    if (finishedCount_ != requestedCount_) {
        return;
    }
    reportStatus();
    if (auto done = std::exchange(completionBlock_, nullptr)) {
        done(finishedCount_, skippedCount_);
    }
    progressBlock_ = nullptr;
}
