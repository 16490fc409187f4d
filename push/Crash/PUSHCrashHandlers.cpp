// Installing and removing the crash handlers, and the handlers themselves: they build the
// crash's exception and hand it to a controller on the crashing thread, one crash at a time.
#include <cxxabi.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <typeinfo>

#include "platform/foundation/Format.h"
#include "push/Crash/PUSHCallStack.h"
#include "push/Crash/PUSHCaughtExceptionHandlerController.h"

namespace {

constexpr std::size_t kSignalCount = std::size(kPUSHCrashSignals);

struct SavedHandlers {
    std::array<struct sigaction, kSignalCount> previous {};
    std::array<bool, kSignalCount> replaced {};
    std::terminate_handler previousTerminate = nullptr;
};

SavedHandlers& saved()
{
    static SavedHandlers* handlers = new SavedHandlers();
    return *handlers;
}

std::atomic<bool> installed { false };
// One crash is handled at a time; a thread that crashes again while handling its own crash
// hands the new one on at once.
std::mutex& crashMutex()
{
    static std::mutex* mutex = new std::mutex();
    return *mutex;
}
thread_local bool handlingCrash = false;

std::string typeName(const std::type_info* type)
{
    if (!type)
        return "UnknownException";
    int status = 0;
    char* name = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    std::string text = status == 0 && name ? std::string(name) : std::string(type->name());
    std::free(name);
    return text;
}

// Hands the signal on without recording it: the previous handling, then the signal again.
void passSignalOn(int signal)
{
    PUSHRemoveCrashHandlers();
    raise(signal);
}

void terminateHandler()
{
    if (handlingCrash)
        std::abort();
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const NSException& exception) {
            PUSHUncaughtExceptionHandler(exception);
        } catch (const std::exception& exception) {
            PUSHUncaughtExceptionHandler(NSException(typeName(abi::__cxa_current_exception_type()), exception.what()));
        } catch (...) {
            PUSHUncaughtExceptionHandler(NSException(typeName(abi::__cxa_current_exception_type()), ""));
        }
    }
    // Terminated without an exception, or the handling came back: the previous handling ends it.
    PUSHRemoveCrashHandlers();
    if (auto previous = std::get_terminate(); previous && previous != terminateHandler)
        previous();
    std::abort();
}

} // namespace

void PUSHInstallCrashHandlers()
{
    if (installed.exchange(true))
        return;
    push_crash::prepareCallStackCapture();
    SavedHandlers& handlers = saved();
    handlers.previousTerminate = std::set_terminate(terminateHandler);
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        handlers.replaced[i] = false;
        struct sigaction old {};
        if (sigaction(kPUSHCrashSignals[i], nullptr, &old) != 0)
            continue;
        // An ignored signal does not end the process; catching it would make it a crash.
        if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = PUSHSignalHandler;
        sigemptyset(&action.sa_mask);
        if (sigaction(kPUSHCrashSignals[i], &action, nullptr) != 0)
            continue;
        handlers.previous[i] = old;
        handlers.replaced[i] = true;
    }
}

void PUSHRemoveCrashHandlers()
{
    if (!installed.exchange(false))
        return;
    SavedHandlers& handlers = saved();
    std::set_terminate(handlers.previousTerminate);
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        if (!handlers.replaced[i])
            continue;
        sigaction(kPUSHCrashSignals[i], &handlers.previous[i], nullptr);
        handlers.replaced[i] = false;
    }
}

bool PUSHCrashHandlersInstalled()
{
    return installed.load();
}

void PUSHUncaughtExceptionHandler(const NSException& exception)
{
    if (handlingCrash)
        return;
    std::lock_guard guard(crashMutex());
    handlingCrash = true;
    Value symbols = Value::array();
    for (auto& frame : push_crash::callStackSymbols())
        symbols.append(Value(std::move(frame)));
    const std::string compact = PUSHCompactCallStack(PUSHCaughtExceptionHandlerController::backtrace());
    Value userInfo = exception.userInfo().isDictionary() ? exception.userInfo() : Value::dictionary();
    userInfo.set(kUncaughtExceptionHandlerAddressesKey, std::move(symbols));
    userInfo.set(kUncaughtExceptionCallStack, Value(compact));
    PUSHCaughtExceptionHandlerController::create()->handleException(
        NSException(exception.name(), exception.reason(), std::move(userInfo)));
    handlingCrash = false;
}

void PUSHSignalHandler(int signal)
{
    if (handlingCrash) {
        passSignalOn(signal);
        return;
    }
    std::lock_guard guard(crashMutex());
    handlingCrash = true;
    Value frames = Value::array();
    for (auto& frame : PUSHCaughtExceptionHandlerController::backtrace())
        frames.append(Value(std::move(frame)));
    Value userInfo = Value::dictionary({ { kUncaughtExceptionHandlerSignalKey, Value(signal) },
        { kUncaughtExceptionHandlerAddressesKey, std::move(frames) } });
    PUSHCaughtExceptionHandlerController::create()->handleException(NSException(kUncaughtExceptionHandlerSignalExceptionName,
        NSString::stringWithFormat("Signal %d was raised.", signal), std::move(userInfo)));
    handlingCrash = false;
}

std::string PUSHCompactCallStack(const std::vector<std::string>& frames)
{
    std::string compact;
    for (const auto& frame : frames) {
        if (frame.empty())
            continue;
        compact += frame.substr(0, frame.find("0x"));
    }
    return compact;
}
