// Crash capture: the handlers for uncaught exceptions and six fatal signals, and the controller
// that turns a crash into a record of the crash log, saves the client's state and lets the
// crash go on to the handling the process had before (the default one unless the host had its
// own), so that the process ends as it would have.
#pragma once

#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

inline constexpr const char* kUncaughtExceptionHandlerSignalExceptionName = "UncaughtExceptionHandlerSignalExceptionName";
inline constexpr const char* kUncaughtExceptionHandlerSignalKey = "UncaughtExceptionHandlerSignalKey";
inline constexpr const char* kUncaughtExceptionHandlerAddressesKey = "UncaughtExceptionHandlerAddressesKey";
inline constexpr const char* kUncaughtExceptionCallStack = "UncaughtExceptionCallStack";

// The signals caught, in the order they are installed.
inline constexpr int kPUSHCrashSignals[] = { SIGABRT, SIGILL, SIGSEGV, SIGFPE, SIGBUS, SIGPIPE };

// Installs the uncaught-exception handler and the signal handlers, keeping what each replaces.
// A signal the process ignores stays ignored. A second call while installed does nothing.
void PUSHInstallCrashHandlers();
// Puts back what the install replaced (the default action for signals that had none).
void PUSHRemoveCrashHandlers();
bool PUSHCrashHandlersInstalled();
void PUSHUncaughtExceptionHandler(const NSException& exception);
void PUSHSignalHandler(int signal);
// The frame texts run together, each cut before its first "0x".
std::string PUSHCompactCallStack(const std::vector<std::string>& frames);

namespace push_crash {

// How the crash capture saves the client's state, wired by the client controller. Called on
// the crashing thread. Without them, the report scheduler's session end is saved.
struct CrashLinks {
    // The client's reportInactive with the time of the crash.
    std::function<void(double)> reportInactive;
    // The client's synchronizeData (its user defaults).
    std::function<void()> synchronizeData;
};
void setCrashLinks(CrashLinks links);

} // namespace push_crash

class PUSHCaughtExceptionHandlerController : public NSObject {
public:
    static std::shared_ptr<PUSHCaughtExceptionHandlerController> create();

    // Frames 4 to 8 of the calling thread (the first four are the capture itself).
    static std::vector<std::string> backtrace();

    // Records the crash, saves the state, removes the handlers and hands the crash on: the
    // signal is raised again, an exception goes to the previous terminate handling. Does not
    // return for a crash that ends the process.
    void handleException(const NSException& exception);
    // The recording step alone: adds the crash to "__PUSHCrashLog" (or counts it) and writes
    // the file cache. False when there is no file cache.
    bool recordException(const NSException& exception);
    void validateAndSaveCriticalApplicationData();
    static bool p_compareOldExceptionTraceWithCurrentTraceWithOldMessageWithCurrentMessage(
        const std::string& oldTrace, const std::string& currentTrace, const std::string& oldMessage,
        const std::string& currentMessage);
    static Value changeStackTraceToStringFrom(const NSException& exception);

    std::string className() const override { return "PUSHCaughtExceptionHandlerController"; }

private:
    static Value crashFields(const NSException& exception, const std::string& message);
};
