// A small system log client: records of string fields ("Level", "Message", "ReadUID") sent
// through a client. Without a sink they go to the system's log (syslog), never to standard
// error, where the console logger already writes; tests install their own sink.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Value.h"

namespace push_utilities {

using SystemLogSink = std::function<void(const std::string& ident, const Value& record)>;
// An empty sink sends records to the system's log again. Safe from any thread.
void setSystemLogSink(SystemLogSink sink);

class SystemLogClient {
public:
    static std::shared_ptr<SystemLogClient> open(std::string ident, std::uint32_t options);
    // Sends a dictionary record; false when it is not a dictionary.
    bool send(const Value& record) const;

private:
    explicit SystemLogClient(std::string ident)
        : ident_(std::move(ident))
    {
    }
    std::string ident_;
};

} // namespace push_utilities
