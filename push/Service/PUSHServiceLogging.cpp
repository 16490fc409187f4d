// The push library's loggers: a rolling file log, the system log and the coloured console, all
// with the one-line formatter, set up once per process; and the level mask of the console and
// system log.
#include <mutex>

#include "push/Network/PUSHSDKLogLevel.h"
#include "push/Service/PUSHService.h"
#include "push/Utilities/PUSHASLLogger.h"
#include "push/Utilities/PUSHCustomFormatter.h"
#include "push/Utilities/PUSHFileLogger.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHTTYLogger.h"

namespace {

constexpr double kRollingFrequency = 86400;
constexpr std::uint64_t kArchivedLogFiles = 7;

void colorConsole(PUSHTTYLogger& console)
{
    console.setForegroundColor(PUSHColor { 1, 0, 0 }, std::nullopt, PUSH_LOG_FLAG_ERROR);
    console.setForegroundColor(
        PUSHColor { 254 / 255.0, 186 / 255.0, 173 / 255.0 }, std::nullopt, PUSH_LOG_FLAG_WARNING);
    console.setForegroundColor(PUSHColor { 0, 1, 0 }, std::nullopt, PUSH_LOG_FLAG_INFO);
    console.setForegroundColor(PUSHColor { 65 / 255.0, 105 / 255.0, 225 / 255.0 }, std::nullopt, PUSH_LOG_FLAG_VERBOSE);
    console.setColorsEnabled(true);
}

} // namespace

void PUSHService::setupPushLogger()
{
    static std::once_flag once;
    std::call_once(once, [] {
        auto formatter = std::make_shared<PUSHCustomFormatter>(0);

        auto manager = std::make_shared<PUSHLogFileManagerDefault>();
        manager->maximumNumberOfLogFiles = kArchivedLogFiles;
        auto file = PUSHFileLogger::create(manager);
        file->setRollingFrequency(kRollingFrequency);
        file->setLogFormatter(formatter);
        PUSHLog::addLogger(file, PUSH_LOG_LEVEL_DEBUG);

        auto system = PUSHASLLogger::sharedInstance();
        system->setLogFormatter(formatter);
        PUSHLog::addLogger(system, PUSH_LOG_LEVEL_INFO);
        push::setSDKLogLevel(PUSH_LOG_LEVEL_INFO);

        auto console = PUSHTTYLogger::sharedInstance();
        console->setLogFormatter(formatter);
        PUSHLog::addLogger(console, PUSH_LOG_LEVEL_INFO);
        colorConsole(*console);
    });
}

void PUSHService::setDebugMode()
{
    changeLoggerLevel(PUSH_LOG_LEVEL_DEBUG);
}

void PUSHService::setLogOFF()
{
    changeLoggerLevel(PUSH_LOG_LEVEL_OFF);
}

void PUSHService::changeLoggerLevel(std::uint64_t level)
{
    auto console = PUSHTTYLogger::sharedInstance();
    PUSHLog::removeLogger(console);
    PUSHLog::addLogger(console, level);
    auto system = PUSHASLLogger::sharedInstance();
    PUSHLog::removeLogger(system);
    PUSHLog::addLogger(system, level);
    push::setSDKLogLevel(level);
}

std::uint64_t PUSHService::currentLogLevel()
{
    return push::sdkLogLevel();
}
