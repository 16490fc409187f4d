// Fuzz target: a stored crash log of any shape (read here from JSON text) is counted into and
// added to without crashing, and frame texts of any content compact without crashing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "push/Crash/PUSHCaughtExceptionHandlerController.h"
#include "push/Crash/PUSHCrashLog.h"
#include "push/Utilities/PUSHUtilities.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> frames;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        frames.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    const std::string trace = PUSHCompactCallStack(frames);
    const std::string message = frames.empty() ? std::string() : frames.front();

    Value log = push_crash::crashLogFromStored(PUSHJSONObject(Bytes(data, data + size)));
    const std::size_t before = log.count();
    if (!push_crash::addOccurrence(log, trace, message))
        push_crash::addRecord(log, Value::dictionary({ { "message", Value(message) }, { "count", Value(1) } }), trace);
    // Either counted or added: a second occurrence now always counts.
    if (!push_crash::addOccurrence(log, trace, message) || log.count() > before + 1)
        __builtin_trap();
    return 0;
}
