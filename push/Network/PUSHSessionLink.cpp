// The process's current session link.
#include "push/Network/PUSHSessionLink.h"

#include <mutex>

namespace push {

namespace {
std::mutex linkLock;
std::weak_ptr<SessionLink> linkHolder;
} // namespace

void setCurrentSessionLink(std::weak_ptr<SessionLink> link)
{
    std::lock_guard guard(linkLock);
    linkHolder = std::move(link);
}

std::shared_ptr<SessionLink> currentSessionLink()
{
    std::lock_guard guard(linkLock);
    return linkHolder.lock();
}

} // namespace push
