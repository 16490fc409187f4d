// Settable system facts (see PlatformVersion.h).
#include "app/PlatformVersion.h"

#include <mutex>

namespace app {

namespace {

constexpr double defaultFoundationVersion = 1140.11;
constexpr const char* defaultSystemVersion = "8.0";

struct State {
    std::mutex mutex;
    double foundation = defaultFoundationVersion;
    std::string system = defaultSystemVersion;
};

State& state()
{
    static State s;
    return s;
}

}

double foundationVersionNumber()
{
    std::lock_guard lock(state().mutex);
    return state().foundation;
}

void setFoundationVersionNumber(double version)
{
    std::lock_guard lock(state().mutex);
    state().foundation = version;
}

long foundationVersion() { return static_cast<long>(foundationVersionNumber()); }

std::string systemVersion()
{
    std::lock_guard lock(state().mutex);
    return state().system;
}

void setSystemVersion(std::string version)
{
    std::lock_guard lock(state().mutex);
    state().system = std::move(version);
}

void resetPlatformVersion()
{
    std::lock_guard lock(state().mutex);
    state().foundation = defaultFoundationVersion;
    state().system = defaultSystemVersion;
}

} // namespace app
