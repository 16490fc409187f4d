// A small system log client: records of string fields ("Level", "Message", "ReadUID") sent
// through a client. The app's sink writes them to standard error; tests install their own.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Value.h"

namespace push_utilities {

using SystemLogSink = std::function<void(const std::string& ident, const Value& record)>;
// An empty sink sends records to standard error again. Safe from any thread.
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
