// Shared types of the image stack: load options, cache sources, the cancellable handle and the
// completions every load reports through, plus the stack's error domain.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"
#include "platform/graphics/UIImage.h"

using WILoadOptions = std::uint64_t;
inline constexpr WILoadOptions WILoadRetryFailed = 1;
inline constexpr WILoadOptions WILoadLowPriority = 2;
inline constexpr WILoadOptions WILoadCacheMemoryOnly = 4;
inline constexpr WILoadOptions WILoadProgressive = 8;
inline constexpr WILoadOptions WILoadRefreshCached = 16;
inline constexpr WILoadOptions WILoadContinueInBackground = 32;
inline constexpr WILoadOptions WILoadHandleCookies = 64;
inline constexpr WILoadOptions WILoadAllowInvalidCertificates = 128;
inline constexpr WILoadOptions WILoadHighPriority = 256;
inline constexpr WILoadOptions WILoadDelayPlaceholder = 512;
inline constexpr WILoadOptions WILoadTransformAnimatedImage = 1024;
inline constexpr WILoadOptions WILoadAvoidAutoSetImage = 2048;

enum WICacheSource : int {
    WICacheSourceNone = 0,
    WICacheSourceDisk = 1,
    WICacheSourceMemory = 2,
};

inline const std::string WIImageErrorDomain = "WIImageErrorDomain";

// Anything a caller can cancel: a load, a download, a registered view load.
class WIImageOperation {
public:
    virtual ~WIImageOperation() = default;
    virtual void cancel() = 0;
};
using WIImageOperationRef = std::shared_ptr<WIImageOperation>;

using WIDownloadProgress = std::function<void(std::int64_t receivedSize, std::int64_t expectedSize)>;
using WILoadCompletion = std::function<void(UIImageRef image, std::shared_ptr<NSError> error, WICacheSource cacheType,
    bool finished, std::optional<NSURL> imageURL)>;
using WILegacyLoadCompletion
    = std::function<void(UIImageRef image, std::shared_ptr<NSError> error, WICacheSource cacheType, bool finished)>;
using WIViewCompletion = std::function<void(
    UIImageRef image, std::shared_ptr<NSError> error, WICacheSource cacheType, std::optional<NSURL> imageURL)>;
using WILegacyCompletion = std::function<void(UIImageRef image, std::shared_ptr<NSError> error, WICacheSource cacheType)>;

namespace image {
// Runs `block` on the main thread: at once when already there, else synchronously on the main queue.
void runOnMainSync(const std::function<void()>& block);
// Runs `block` on the main thread: at once when already there, else asynchronously.
void runOnMainAsync(std::function<void()> block);
// The error every view load reports for a missing URL: code -1, "Trying to load a nil url".
std::shared_ptr<NSError> nilURLError();
} // namespace image
