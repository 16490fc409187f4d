// The one-line form of every push log line: "time | tag | letter - [file] text".
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSDateFormatter.h"
#include "push/Utilities/PUSHLog.h"

class PUSHCustomFormatter : public PUSHLogFormatter {
public:
    // Type 0 tags lines "PUSH", 1 "ZIzezave"; any other type has no tag.
    explicit PUSHCustomFormatter(std::uint64_t type = 0)
        : type_(type)
    {
    }
    std::optional<std::string> formatLogMessage(const PUSHLogMessage& message) override;
    void didAddToLogger(PUSHLogger&) override { loggerCount_.fetch_add(1); }
    void willRemoveFromLogger(PUSHLogger&) override { loggerCount_.fetch_add(-1); }
    std::string stringFromDate(double secondsSince1970);
    std::uint64_t type() const { return type_; }
    int loggerCount() const { return loggerCount_.load(); }

    // The level letter of a flag: E, W, I, D, else V.
    static const char* letterForFlag(std::uint64_t flag);

private:
    // A date formatter with the text of the last second it wrote.
    struct SecondCache {
        std::string stringFromDate(double secondsSince1970);
        std::shared_ptr<NSDateFormatter> formatter;
        std::optional<std::int64_t> cachedSecond;
        std::string text;
    };
    std::uint64_t type_;
    std::atomic<std::int32_t> loggerCount_ { 0 };
    SecondCache threadUnsafeDateFormatter_;
};
