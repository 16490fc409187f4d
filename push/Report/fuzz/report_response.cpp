// Fuzz target: whatever status, headers and body a report server answers with, the report
// responses of every kind decide the fate of the items in flight without crashing, and the
// items end up in exactly one place or gone.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/network/NSURLResponse.h"
#include "push/Report/PUSHBadgeNumberReport.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Report/PUSHReportKinds.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHReportCacheController.h"

namespace {

std::string& homeFolder()
{
    static std::string folder;
    return folder;
}

std::shared_ptr<PUSHHttpSessionController>& scheduler()
{
    static std::shared_ptr<PUSHHttpSessionController> held;
    return held;
}

void removeHome()
{
    scheduler().reset();
    PUSHFileCacheController::resetSharedInstancesForTesting();
    std::error_code ignored;
    std::filesystem::remove_all(homeFolder(), ignored);
}

void setUpOnce()
{
    if (scheduler())
        return;
    char pattern[] = "/tmp/qm-report-fuzz-XXXXXX";
    if (!mkdtemp(pattern))
        std::abort();
    homeFolder() = pattern;
    setenv("QUILLMARK_HOME", pattern, 1);
    scheduler() = PUSHHttpSessionController::create();
    // The cache's moves are what is checked here, not its file.
    scheduler()->reportCache()->setSyncBlock(nullptr);
    std::atexit(removeHome);
}

std::shared_ptr<PUSHReportRequest> requestOfKind(std::uint8_t kind)
{
    switch (kind % 4) {
    case 0: return PUSHMessageReportRequest::create();
    case 1: return PUSHUserDeviceReportRequest::create();
    case 2: return PUSHLocationReportRequest::create();
    default: return PUSHBadgeNumberReportRequest::create();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    setUpOnce();
    if (size < 3)
        return 0;
    const int status = ((data[0] << 8) | data[1]) % 1000;
    const std::string rest(reinterpret_cast<const char*>(data + 3), size - 3);
    // The rest: a header value, then after the first zero byte the body.
    const auto split = rest.find('\0');
    const std::string header = rest.substr(0, split);
    const Bytes body = split == std::string::npos ? Bytes() : Bytes(rest.begin() + static_cast<long>(split) + 1, rest.end());

    auto cache = scheduler()->reportCache();
    auto request = requestOfKind(data[2]);
    const std::string flag = "1:" + std::to_string(size);
    request->setReportFlag(flag);
    request->setContent(Value::dictionary({ { "type", Value("fuzz") }, { "itime", Value(1700000000) } }));
    cache->addSendingCacheObject(Value::array({ request->content() }), flag);
    request->setResponseBlock();

    auto response = NSHTTPURLResponse::create(NSURL::URLWithString("http://127.0.0.1/v2/report"), status, "HTTP/1.1",
        Value::dictionary({ { "Content-Type", Value(header) } }));
    auto handled = request->responseBlock()(response, body, {});
    if (!handled || handled->statusCode() != status)
        std::abort();
    handled->handleReceipt();

    const bool inFlight = cache->sendingPackageCache().contains(flag);
    const bool pending = cache->hasObjectForKey(flag);
    if (inFlight && pending)
        std::abort();
    cache->removeSendingObjectForKey(flag);
    cache->removeCacheObjectForKey(flag);
    return 0;
}
