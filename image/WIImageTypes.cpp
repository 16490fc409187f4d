// Main-thread hops shared by the image stack's reports.
#include "image/WIImageTypes.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/NSThread.h"

namespace image {
void runOnMainSync(const std::function<void()>& block)
{
    if (NSThread::isMainThread()) {
        block();
        return;
    }
    dispatch_sync(dispatch_get_main_queue(), block);
}

void runOnMainAsync(std::function<void()> block)
{
    if (NSThread::isMainThread()) {
        block();
        return;
    }
    dispatch_async(dispatch_get_main_queue(), std::move(block));
}

std::shared_ptr<NSError> nilURLError()
{
    return NSError::errorWithDomain(
        WIImageErrorDomain, -1, Value::dictionary({ { NSLocalizedDescriptionKey, "Trying to load a nil url" } }));
}
} // namespace image
