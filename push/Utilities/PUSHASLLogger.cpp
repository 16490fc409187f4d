// System-log logger: one shared instance, records with "Level", "Message" and "ReadUID".
#include "push/Utilities/PUSHASLLogger.h"

#include <unistd.h>

#include <mutex>

namespace {
std::mutex sharedMutex;
std::shared_ptr<PUSHASLLogger> sharedLogger;
}

PUSHASLLogger::PUSHASLLogger(Token)
    : client_(push_utilities::SystemLogClient::open("com.apple.console", 0))
{
}

std::shared_ptr<PUSHASLLogger> PUSHASLLogger::sharedInstance()
{
    std::lock_guard lock(sharedMutex);
    if (!sharedLogger)
        sharedLogger = std::make_shared<PUSHASLLogger>(Token {});
    return sharedLogger;
}

std::shared_ptr<PUSHASLLogger> PUSHASLLogger::init()
{
    std::lock_guard lock(sharedMutex);
    if (sharedLogger)
        return nullptr;
    return std::make_shared<PUSHASLLogger>(Token {});
}

const char* PUSHASLLogger::levelForFlag(std::uint64_t flag)
{
    switch (flag) {
    case PUSH_LOG_FLAG_ERROR:
        return "2";
    case PUSH_LOG_FLAG_WARNING:
        return "3";
    case PUSH_LOG_FLAG_INFO:
        return "4";
    default:
        return "5";
    }
}

void PUSHASLLogger::logMessage(const PUSHLogMessage& message)
{
    if (message.fileName == "PUSHASLLogCapture")
        return;
    std::optional<std::string> text = message.message;
    if (formatter_)
        text = formatter_->formatLogMessage(message);
    if (!text)
        return; // nothing to send
    Value record = Value::dictionary({
        { "Level", levelForFlag(message.flag) },
        { "Message", *text },
        { "ReadUID", NSString::stringWithFormat("%d", static_cast<int>(::geteuid())) },
    });
    client_->send(record);
}
