// Registration of this folder's archivable classes with the keyed archiver.
#include <mutex>

#include "push/Storage/PUSHCacheFileCodec.h"
#include "push/Storage/PUSHFIFOQueue.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHLocationInfoController.h"
#include "push/Storage/PUSHMemoryCache.h"
#include "push/Storage/PUSHPage.h"
#include "push/Storage/PUSHPageFlow.h"
#include "push/Storage/PUSHReportCacheController.h"

namespace push::storage {

void registerArchivableClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        persistence::registerCodingClass<PUSHMemoryCache>(
            "PUSHMemoryCache", std::function<std::shared_ptr<PUSHMemoryCache>()>([] { return PUSHMemoryCache::create(); }));
        persistence::registerCodingClass<PUSHReportCacheController>("PUSHReportCacheController",
            std::function<std::shared_ptr<PUSHReportCacheController>()>([] { return PUSHReportCacheController::createEmpty(); }));
        persistence::registerCodingClass<PUSHFileCacheController>("PUSHFileCacheController");
        persistence::registerCodingClass<PUSHFIFOQueue>("PUSHFIFOQueue");
        persistence::registerCodingClass<PUSHPage>("PUSHPage");
        persistence::registerCodingClass<PUSHPageFlow>("PUSHPageFlow");
        persistence::registerCodingClass<PUSHLocationInfoController>("PUSHLocationInfoController");
    });
}

} // namespace push::storage
