// The process's report links.
#include "push/Report/PUSHReportLinks.h"

#include <mutex>

#include "push/Storage/PUSHUserDefaultsController.h"

namespace push {

namespace {
std::mutex linksLock;
ReportLinks& heldLinks()
{
    static ReportLinks* links = new ReportLinks(); // read by the push thread until exit
    return *links;
}
} // namespace

void setReportLinks(ReportLinks links)
{
    std::lock_guard guard(linksLock);
    heldLinks() = std::move(links);
}

ReportLinks reportLinks()
{
    std::lock_guard guard(linksLock);
    return heldLinks();
}

ReportIdentity reportIdentity()
{
    auto defaults = reportLinks().userDefaults;
    if (!defaults)
        return {};
    return { defaults->uid(), defaults->password(), defaults->appKey(), defaults->openUdid() };
}

std::int32_t reportNetworkStatus()
{
    auto status = reportLinks().networkStatus;
    return status ? status() : 2;
}

} // namespace push
