// System-log logger: one shared instance, records with "Level", "Message" and "ReadUID".
#include "push/Utilities/PUSHASLLogger.h"

#include <unistd.h>

#include "push/Utilities/PUSHOneInstance.h"

namespace {

PUSHOneInstance<PUSHASLLogger>& instances()
{
    static auto* one = new PUSHOneInstance<PUSHASLLogger>(); // lives until exit
    return *one;
}

} // namespace

PUSHASLLogger::PUSHASLLogger()
    : client_(push_utilities::SystemLogClient::open("com.apple.console", 0))
{
}

std::shared_ptr<PUSHASLLogger> PUSHASLLogger::make()
{
    return std::shared_ptr<PUSHASLLogger>(new PUSHASLLogger());
}

std::shared_ptr<PUSHASLLogger> PUSHASLLogger::sharedInstance()
{
    return instances().shared(make);
}

std::shared_ptr<PUSHASLLogger> PUSHASLLogger::init()
{
    return instances().another(make);
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
