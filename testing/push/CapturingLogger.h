// A push logger for tests that keeps the text of every line it is given. Push code does not
// wait for its loggers, so every read first flushes the lines still on their way. Header only;
// the test links the push logging library. Never read it from a logger's own queue.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "push/Utilities/PUSHLog.h"

namespace push_test_support {

class CapturingLogger : public PUSHAbstractLogger {
public:
    void logMessage(const PUSHLogMessage& message) override
    {
        std::lock_guard guard(mutex_);
        lines_.push_back(message.message);
    }
    std::vector<std::string> lines() const
    {
        PUSHLog::flushLog();
        std::lock_guard guard(mutex_);
        return lines_;
    }
    // How many lines contain `text`.
    std::size_t count(const std::string& text) const
    {
        std::size_t found = 0;
        for (const auto& line : lines())
            found += line.find(text) != std::string::npos;
        return found;
    }
    bool has(const std::string& text) const { return count(text) > 0; }
    void clear()
    {
        PUSHLog::flushLog();
        std::lock_guard guard(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace push_test_support
