// NSLog: the platform log. Each call writes one line
//   "<yyyy-MM-dd HH:mm:ss.SSS> <process>[<pid>:<tid>] <text>"
// to standard error. Tests install a sink to read the texts instead.
#pragma once

#include <functional>
#include <string>

#include "platform/foundation/Format.h"

namespace foundation {

// The sink receives each formatted text (without time stamp or process prefix). An empty
// function sends lines to standard error again. Safe to call from any thread.
using LogSink = std::function<void(const std::string& text)>;
void setLogSink(LogSink sink);
void logText(const std::string& text);

} // namespace foundation

template <typename... A>
void NSLog(std::string_view format, const A&... arguments)
{
    foundation::logText(NSString::stringWithFormat(format, arguments...));
}
