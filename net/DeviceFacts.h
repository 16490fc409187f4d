// Facts about the device and the app that the HTTP stack puts into its default headers
// (preferred languages, model, system version, screen scale) and the app's background tasks.
// They are the platform's: its preferred languages, its device and its main screen, read when
// asked; a test may set its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace net {

struct DeviceFacts {
    std::vector<std::string> preferredLanguages; // most preferred first
    std::string model;
    std::string systemVersion;
    double screenScale = 1;
};

// The facts in force: those a test set last, else the platform's as they are now.
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
