// Capturing and naming the frames of the current thread.
#include "push/Crash/PUSHCallStack.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace push_crash {

namespace {

std::string baseName(const char* path)
{
    if (!path || !*path)
        return "???";
    std::string text(path);
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

std::string demangled(const char* symbol)
{
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(symbol, nullptr, nullptr, &status), &std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(symbol);
}

} // namespace

std::string frameText(std::size_t index, const void* address)
{
    Dl_info info {};
    const bool found = dladdr(address, &info) != 0;
    const std::string image = found ? baseName(info.dli_fname) : std::string("???");
    const auto where = reinterpret_cast<std::uintptr_t>(address);
    std::string symbol;
    std::uintptr_t offset = 0;
    if (found && info.dli_sname) {
        symbol = demangled(info.dli_sname);
        offset = where - reinterpret_cast<std::uintptr_t>(info.dli_saddr);
    } else {
        const auto base = found ? reinterpret_cast<std::uintptr_t>(info.dli_fbase) : 0;
        char text[32];
        std::snprintf(text, sizeof text, "0x%" PRIxPTR, base);
        symbol = text;
        offset = where - base;
    }
    char head[128];
    std::snprintf(head, sizeof head, "%-4zu%-35s 0x%016" PRIxPTR " ", index, image.c_str(), where);
    return head + symbol + " + " + std::to_string(offset);
}

__attribute__((noinline)) std::vector<std::string> callStackSymbols()
{
    void* addresses[kMaxFrames];
    const int count = ::backtrace(addresses, static_cast<int>(kMaxFrames));
    std::vector<std::string> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(frameText(static_cast<std::size_t>(i), addresses[i]));
    return frames;
}

void prepareCallStackCapture()
{
    void* addresses[4];
    ::backtrace(addresses, 4);
}

} // namespace push_crash
