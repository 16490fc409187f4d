// The logger that writes each push line into the system log.
#pragma once

#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/SystemLogClient.h"

class PUSHASLLogger : public PUSHAbstractLogger {
public:
    static std::shared_ptr<PUSHASLLogger> sharedInstance();
    // Null once the shared instance exists.
    static std::shared_ptr<PUSHASLLogger> init();
    std::string loggerName() override { return "push.logging.aslLogger"; }
    void logMessage(const PUSHLogMessage& message) override;
    // The system log level text of a flag: "2" error, "3" warning, "4" info, else "5".
    static const char* levelForFlag(std::uint64_t flag);

private:
    // Only sharedInstance and init make one.
    PUSHASLLogger();
    static std::shared_ptr<PUSHASLLogger> make();

    std::shared_ptr<push_utilities::SystemLogClient> client_;
};
