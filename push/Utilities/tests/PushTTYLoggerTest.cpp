// Console mode detection, colour profiles by flag, context and tag, and the written lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include "push/Utilities/PUSHTTYLogger.h"

namespace {

TEST(PushTTYLogger, ModeComesFromTheEnvironment)
{
    EXPECT_EQ(PUSHTTYLogger::detectMode("YES", "xterm-256color"), PUSHConsoleMode::plugin);
    EXPECT_EQ(PUSHTTYLogger::detectMode("NO", "xterm-256COLOR"), PUSHConsoleMode::colorTerminal256);
    EXPECT_EQ(PUSHTTYLogger::detectMode(nullptr, "xterm-Color"), PUSHConsoleMode::colorTerminal16);
    EXPECT_EQ(PUSHTTYLogger::detectMode(nullptr, "xterm"), PUSHConsoleMode::plain);
    EXPECT_EQ(PUSHTTYLogger::detectMode(nullptr, nullptr), PUSHConsoleMode::plain);
    EXPECT_TRUE(PUSHTTYLogger::paletteColors(PUSHConsoleMode::plugin).empty());
}

TEST(PushTTYLogger, OneConsoleLoggerOnceTheSharedOneExists)
{
    auto shared = PUSHTTYLogger::sharedInstance();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(PUSHTTYLogger::sharedInstance(), shared);
    EXPECT_EQ(PUSHTTYLogger::init(), nullptr);
}

class PushTTYLines : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/pushttyXXXXXX";
        fd = ::mkstemp(name);
        ::unlink(name);
        // The one console logger, put back to how it starts whatever ran before.
        logger->setMode(PUSHConsoleMode::colorTerminal16);
        logger->setOutputDescriptor(fd);
        logger->automaticallyAppendNewlineForCustomFormatters = true;
        logger->setColorsEnabled(false);
        logger->clearAllColors();
        PUSHLog::addLogger(logger, PUSH_LOG_LEVEL_VERBOSE);
    }
    void TearDown() override
    {
        PUSHLog::removeAllLoggers();
        PUSHLog::flushLog();
        logger->setOutputDescriptor(2);
        ::close(fd);
    }
    std::string written()
    {
        PUSHLog::flushLog();
        std::string text(static_cast<std::size_t>(::lseek(fd, 0, SEEK_CUR)), '\0');
        EXPECT_EQ(::pread(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
        ::ftruncate(fd, 0);
        ::lseek(fd, 0, SEEK_SET);
        return text;
    }
    static void log(std::uint64_t flag, std::int64_t context, const Value& tag, const std::string& text)
    {
        PUSHLog::log(false, 31, flag, context, "f.m", "f", 1, tag, "%@", text);
    }
    int fd = -1;
    std::shared_ptr<PUSHTTYLogger> logger = PUSHTTYLogger::sharedInstance();
};

TEST_F(PushTTYLines, PlainLinesAndNewlines)
{
    log(4, 0, Value(), "hello");
    std::string line = written();
    EXPECT_NE(line.find(" " + std::string(program_invocation_short_name) + "[" + std::to_string(::getpid()) + ":"), std::string::npos);
    EXPECT_EQ(line.substr(line.size() - 8), "] hello\n");
    log(4, 0, Value(), "done\n");
    std::string done = written();
    EXPECT_EQ(done.substr(done.size() - 7), "] done\n"); // no second newline
    log(4, 0, Value(), std::string(5000, 'x'));
    std::string big = written();
    EXPECT_NE(big.find(std::string(5000, 'x') + "\n"), std::string::npos);
}

TEST_F(PushTTYLines, ProfilesByFlagContextAndTag)
{
    logger->setColorsEnabled(true); // no profiles yet: the two defaults load
    log(1, 0, Value(), "e");
    EXPECT_EQ(written().rfind("\033[31m", 0), 0u); // 214, 57, 30 is nearest to 194, 54, 33
    logger->setForegroundColor(PUSHColor { 0, 1, 0 }, std::nullopt, 4, 0);
    logger->setForegroundColor(PUSHColor { 0, 0, 1 }, std::nullopt, 4);
    log(4, 0, Value(), "ctx0");
    EXPECT_EQ(written().rfind("\033[1;32m", 0), 0u); // the context-0 profile wins
    log(4, 5, Value(), "ctx5");
    EXPECT_EQ(written().rfind("\033[34m", 0), 0u); // any-context profile
    logger->setForegroundColorForTag(PUSHColor { 1, 1, 0 }, std::nullopt, "t");
    log(4, 0, Value("t"), "tagged");
    EXPECT_EQ(written().rfind("\033[1;33m", 0), 0u);
    logger->clearColorsForFlag(4); // context 0 only
    log(4, 0, Value(), "after");
    EXPECT_EQ(written().rfind("\033[34m", 0), 0u);
    logger->setColorsEnabled(false);
    EXPECT_FALSE(logger->colorsEnabled());
    log(1, 0, Value(), "plain");
    EXPECT_NE(written().rfind("\033[", 0), 0u);
}

} // namespace
