// The keychain's test controls (see SecTestSeams.h).
#include "platform/security/SecTestSeams.h"

#include <deque>
#include <mutex>

#include "platform/security/SeamState.h"

namespace security {

namespace {

struct Injection {
    SecOperation operation;
    OSStatus status;
    int remaining;
    std::optional<std::string> account;
};

std::mutex injectionMutex;
std::deque<Injection>& injections()
{
    static std::deque<Injection> list;
    return list;
}

}

void injectStatus(SecOperation operation, OSStatus status, int count, std::optional<std::string> account)
{
    if (count == 0)
        return;
    std::lock_guard lock(injectionMutex);
    injections().push_back({ operation, status, count, std::move(account) });
}

void clearInjectedStatuses()
{
    std::lock_guard lock(injectionMutex);
    injections().clear();
}

std::optional<OSStatus> takeInjectedStatus(SecOperation operation, const Value& query)
{
    std::lock_guard lock(injectionMutex);
    auto& list = injections();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->operation != operation)
            continue;
        if (it->account && !(query[kSecAttrAccount] == Value(*it->account)))
            continue;
        OSStatus status = it->status;
        if (it->remaining > 0 && --it->remaining == 0)
            list.erase(it);
        return status;
    }
    return std::nullopt;
}

void setAccessControlFailure(NSErrorRef error, bool returnNothing)
{
    auto& state = seamState();
    std::lock_guard lock(state.mutex);
    state.accessControlError = std::move(error);
    state.accessControlReturnsNothing = returnNothing;
}

void setSharedWebCredentials(Value credentials)
{
    auto& state = seamState();
    std::lock_guard lock(state.mutex);
    state.sharedCredentials = credentials.isArray() ? std::move(credentials) : Value::array();
}

Value sharedWebCredentials()
{
    auto& state = seamState();
    std::lock_guard lock(state.mutex);
    return state.sharedCredentials;
}

void failNextSharedWebCredentialCall(NSErrorRef error)
{
    auto& state = seamState();
    std::lock_guard lock(state.mutex);
    state.sharedCredentialFailure = std::move(error);
}

void resetTestSeams()
{
    clearInjectedStatuses();
    auto& state = seamState();
    std::lock_guard lock(state.mutex);
    state = {};
}

}

namespace security {

SeamState& seamState()
{
    static SeamState state;
    return state;
}

}
