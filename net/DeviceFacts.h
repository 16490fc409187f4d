// Facts about the device and the app that the HTTP stack puts into its default headers
// (preferred languages, model, system version, screen scale) and the app's background tasks.
// There is no phone here: the facts come from the environment and can be set by the app or a test.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace net {

struct DeviceFacts {
    std::vector<std::string> preferredLanguages; // most preferred first
    std::string model = "iPhone";
    std::string systemVersion = "8.0";
    double screenScale = 2;
};

// The facts in force: those set last, else languages from $LANGUAGE/$LANG ("en" by default).
DeviceFacts deviceFacts();
void setDeviceFacts(DeviceFacts facts);
void resetDeviceFacts();

// Background tasks: begin gives an identifier (never kInvalidBackgroundTask); the expiration
// handler runs when the app runs out of background time (tests: expireBackgroundTasks()).
using BackgroundTaskIdentifier = std::uint64_t;
inline constexpr BackgroundTaskIdentifier kInvalidBackgroundTask = 0;
BackgroundTaskIdentifier beginBackgroundTask(std::function<void()> expirationHandler);
void endBackgroundTask(BackgroundTaskIdentifier identifier);
// Runs the expiration handler of every background task still running, then ends them.
void expireBackgroundTasks();
std::size_t runningBackgroundTaskCount();

} // namespace net
