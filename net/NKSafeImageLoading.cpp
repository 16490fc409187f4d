// Image decoding serialised by one process-wide lock.
#include "net/NKSafeImageLoading.h"

#include <mutex>

UIImageRef nk_safeImageWithData(const Bytes& data)
{
    static std::mutex* imageDecodeLock = new std::mutex;
    std::lock_guard lock(*imageDecodeLock);
    return UIImage::imageWithData(data);
}
