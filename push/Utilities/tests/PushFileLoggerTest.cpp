// Rolling by size, age (virtual time) and outside deletion; pruning by count and quota;
// log-file names; newline handling; renaming.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/Clock.h"
#include "platform/persistence/NSBundle.h"
#include "platform/persistence/NSFileManager.h"
#include "platform/persistence/AppHome.h"
#include "push/Utilities/PUSHFileLogger.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"

namespace {

class Verbatim : public PUSHLogFormatter {
public:
    std::optional<std::string> formatLogMessage(const PUSHLogMessage& m) override { return m.message; }
};

class PushFileLogger : public ::testing::Test {
protected:
    void TearDown() override
    {
        PUSHLog::removeAllLoggers();
        PUSHLog::flushLog();
    }
    std::shared_ptr<PUSHFileLogger> makeLogger()
    {
        manager = std::make_shared<PUSHLogFileManagerDefault>(home.pathFor("Logs"));
        auto logger = PUSHFileLogger::create(manager);
        logger->setLogFormatter(std::make_shared<Verbatim>());
        PUSHLog::addLogger(logger, PUSH_LOG_LEVEL_DEBUG);
        return logger;
    }
    static void log(const std::string& text) { PUSHLog::log(false, 31, 1, 0, "f.m", "f", 1, Value(), "%@", text); }
    static std::string contents(const std::string& path)
    {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string path(const std::string& name) { return manager->logsDirectory() + "/" + name; }
    testing_support::TempHome home;
    testing_support::VirtualTime time { foundation::clock::now() };
    std::shared_ptr<PUSHLogFileManagerDefault> manager;
};

TEST_F(PushFileLogger, RollsBySizeIntoAttemptNumberedFilesAndKeepsTheMaximumNumber)
{
    auto logger = makeLogger();
    manager->maximumNumberOfLogFiles = 3;
    logger->setMaximumFileSize(10);
    log("first line");
    log("second line");
    log("third");
    auto names = manager->sortedLogFileNames(); // newest first
    ASSERT_EQ(names.size(), 3u);
    std::string base = names[2];
    EXPECT_EQ(names[1], base.substr(0, base.size() - 4) + " 2.log");
    EXPECT_EQ(names[0], base.substr(0, base.size() - 4) + " 3.log");
    EXPECT_EQ(contents(path(names[2])), "first line\n");
    EXPECT_EQ(contents(path(names[0])), "third\n");
    auto infos = manager->sortedLogFileInfos();
    EXPECT_FALSE(infos[0]->isArchived()); // still current
    EXPECT_TRUE(infos[1]->isArchived());
    EXPECT_TRUE(infos[2]->isArchived());

    // Past the maximum the oldest files go: "third" is now the oldest one left.
    for (int i = 0; i < 3; ++i)
        log("line " + std::to_string(i) + " of more");
    names = manager->sortedLogFileNames();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(contents(path(names[2])), "third\nline 0 of more\n");
}

TEST_F(PushFileLogger, RollsByAgeWhenTheTimerFires)
{
    auto logger = makeLogger();
    logger->setRollingFrequency(60);
    log("old");
    auto first = manager->sortedLogFileInfos();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_FALSE(first[0]->isArchived());
    time.advance(600); // well past the frequency, however long setting up took
    EXPECT_TRUE(testing_support::runUntil([&] { return first[0]->isArchived(); }, 10));
    log("new");
    auto names = manager->sortedLogFileNames();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(contents(path(names[0])), "new\n");
}

TEST_F(PushFileLogger, StartsANewFileWhenTheCurrentOneIsDeleted)
{
    auto logger = makeLogger();
    log("a");
    auto names = manager->sortedLogFileNames();
    ASSERT_EQ(names.size(), 1u);
    NSFileManager::defaultManager()->removeItemAtPath(path(names[0]));
    EXPECT_TRUE(testing_support::runUntil([&] {
        log("b");
        return manager->sortedLogFileNames().size() == 1;
    }, 10));
}

TEST_F(PushFileLogger, NewlinesForCustomFormatters)
{
    auto logger = makeLogger();
    log("ends\n");
    log("plain");
    logger->automaticallyAppendNewlineForCustomFormatters = false;
    log("raw");
    PUSHLog::flushLog();
    EXPECT_EQ(contents(path(manager->sortedLogFileNames()[0])), "ends\nplain\nraw");
}

TEST_F(PushFileLogger, LogFileNames)
{
    PUSHLogFileManagerDefault m(home.pathFor("L"));
    std::string app = PUSHLogFileManagerDefault::applicationName();
    EXPECT_TRUE(m.isLogFile(app + " 2024-01-31 10-20.log"));
    EXPECT_TRUE(m.isLogFile(app + " 2024-01-31 10-20 2.log"));
    EXPECT_FALSE(m.isLogFile(app + " 2024-01-31.log"));
    EXPECT_FALSE(m.isLogFile(app + " 2024-01-31 10-20 x y.log"));
    EXPECT_FALSE(m.isLogFile(app + " 2024-13-45 10-20.log"));
    EXPECT_FALSE(m.isLogFile("other 2024-01-31 10-20.log"));
    EXPECT_FALSE(m.isLogFile(app + " 2024-01-31 10-20.txt"));
    // Another application whose name begins with this one's, and attempts that are no number.
    EXPECT_FALSE(m.isLogFile(app + "X 2024-01-31 10-20.log"));
    EXPECT_FALSE(m.isLogFile(app + "X 2024-01-31 10-20 2.log"));
    EXPECT_FALSE(m.isLogFile(app + " 2024-01-31 10-20 x.log"));
    EXPECT_FALSE(m.isLogFile(app + " 2024-01-31 10-20 .log"));
}

TEST_F(PushFileLogger, PruningLeavesAnotherApplicationsLogs)
{
    PUSHLogFileManagerDefault m(home.pathFor("P"));
    m.maximumNumberOfLogFiles = 1;
    const std::string foreign = m.logsDirectory() + "/" + PUSHLogFileManagerDefault::applicationName() + "X 2024-01-31 10-20.log";
    std::ofstream(foreign) << "theirs";
    const std::string mine = m.createNewLogFile(); // prunes to one file
    EXPECT_EQ(m.sortedLogFileNames().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(mine));
    EXPECT_TRUE(std::filesystem::exists(foreign));
}

TEST_F(PushFileLogger, QuotaSparesTheCurrentFile)
{
    PUSHLogFileManagerDefault m(home.pathFor("Q"));
    m.maximumNumberOfLogFiles = 0;
    m.logFilesDiskQuota = 0;
    std::string older = m.createNewLogFile();
    std::string newer = m.createNewLogFile();
    std::ofstream(newer) << "0123456789";
    std::ofstream(older) << "x";
    m.deleteOldLogFiles();
    EXPECT_EQ(m.sortedLogFileNames().size(), 2u); // no quota, no count: nothing deleted
    m.logFilesDiskQuota = 5;
    m.deleteOldLogFiles();
    auto names = m.sortedLogFileNames();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(m.logsDirectory() + "/" + names[0], newer);
}

TEST_F(PushFileLogger, NewFilesTakeTheGivenProtectionElseOneFitForTheBackground)
{
    struct Case {
        std::optional<std::string> given;
        bool background;
        std::string expected;
    };
    const Case cases[] = {
        { NSFileProtectionComplete, true, NSFileProtectionComplete },
        { NSFileProtectionNone, false, NSFileProtectionNone },
        { "NoSuchProtection", false, NSFileProtectionCompleteUnlessOpen },
        { std::nullopt, true, NSFileProtectionCompleteUntilFirstUserAuthentication },
        { std::nullopt, false, NSFileProtectionCompleteUnlessOpen },
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given.value_or("none") + (c.background ? " in the background" : ""));
        home.useMainBundle("Bundle" + std::to_string(++index) + ".app",
            std::string("<key>UIBackgroundModes</key><array><string>") + (c.background ? "remote-notification" : "")
                + "</string></array>");
        auto m = c.given ? PUSHLogFileManagerDefault(home.pathFor("P"), *c.given) : PUSHLogFileManagerDefault(home.pathFor("P"));
        EXPECT_EQ(m.defaultFileProtectionLevel().has_value(), c.given && *c.given != "NoSuchProtection");
        EXPECT_EQ(m.protectionForNewFile(), c.expected);
        NSBundle::setMainBundlePath("");
    }
}

TEST_F(PushFileLogger, InfosCompareLaterFirstAndDescribeAMissingDateAsEmpty)
{
    PUSHLogFileManagerDefault m(home.pathFor("C"));
    auto older = PUSHLogFileInfo::logFileWithPath(m.createNewLogFile());
    auto newer = PUSHLogFileInfo::logFileWithPath(m.createNewLogFile());
    NSFileManager::defaultManager()->setAttributes(
        Value::dictionary({ { NSFileModificationDate, Value::date(1700000000) } }), older->filePath());
    NSFileManager::defaultManager()->setAttributes(
        Value::dictionary({ { NSFileModificationDate, Value::date(1700000100) } }), newer->filePath());
    EXPECT_EQ(newer->reverseCompareByModificationDate(*older), NSOrderedAscending);
    EXPECT_EQ(older->reverseCompareByModificationDate(*newer), NSOrderedDescending);
    EXPECT_EQ(older->reverseCompareByModificationDate(*older), NSOrderedSame);

    older->setIsArchived(true);
    EXPECT_NE(older->description().find("isArchived = 1"), std::string::npos) << older->description();
    auto gone = PUSHLogFileInfo::logFileWithPath(m.logsDirectory() + "/gone.log");
    EXPECT_NE(gone->description().find("creationDate = \"\""), std::string::npos) << gone->description();
}

TEST_F(PushFileLogger, UnsortedListsAndEqualInfos)
{
    PUSHLogFileManagerDefault m(home.pathFor("U"));
    const std::string path = m.createNewLogFile();
    std::ofstream(m.logsDirectory() + "/notes.txt") << "not a log";
    EXPECT_EQ(m.unsortedLogFileNames(), std::vector<std::string> { persistence::lastPathComponent(path) });
    auto infos = m.unsortedLogFileInfos();
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_TRUE(infos[0]->isEqual(*PUSHLogFileInfo::logFileWithPath(path)));
    EXPECT_FALSE(infos[0]->isEqual(*PUSHLogFileInfo::logFileWithPath(path + "x")));
    // Names made by the manager parse back with its formatter.
    const std::string name = persistence::lastPathComponent(path);
    const std::string stamp = name.substr(name.size() - 4 - 16, 16);
    EXPECT_TRUE(PUSHLogFileManagerDefault::logFileDateFormatter()->dateFromString(stamp).has_value()) << stamp;
}

TEST_F(PushFileLogger, ArchivedMarkWithoutExtendedAttributesSurvivesAndFollowsTheFile)
{
    PUSHLogFileInfo::setExtendedAttributesUnsupported(true);
    PUSHLogFileManagerDefault m(home.pathFor("X"));
    m.maximumNumberOfLogFiles = 1;
    auto info = PUSHLogFileInfo::logFileWithPath(m.createNewLogFile());
    info->setIsArchived(true);
    EXPECT_TRUE(PUSHLogFileInfo::logFileWithPath(info->filePath())->isArchived()); // as after a restart
    EXPECT_EQ(m.unsortedLogFileNames().size(), 1u); // the mark is no log file
    info->renameFile(info->fileName().substr(0, info->fileName().size() - 4) + " 9.log");
    EXPECT_TRUE(PUSHLogFileInfo::logFileWithPath(info->filePath())->isArchived());
    // The archived file is pruned by the next one, and its mark with it.
    m.createNewLogFile();
    PUSHLogFileInfo::setExtendedAttributesUnsupported(false);
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath(info->filePath()));
    auto left = NSFileManager::defaultManager()->contentsOfDirectoryAtPath(m.logsDirectory());
    ASSERT_TRUE(left);
    EXPECT_EQ(left->size(), 1u);
}

TEST_F(PushFileLogger, RenameKeepsThePathWhenTheMoveFails)
{
    PUSHLogFileManagerDefault m(home.pathFor("R"));
    auto info = PUSHLogFileInfo::logFileWithPath(m.createNewLogFile());
    info->renameFile("renamed.log");
    EXPECT_EQ(info->fileName(), "renamed.log");
    EXPECT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath(info->filePath()));
    NSFileManager::defaultManager()->removeItemAtPath(info->filePath());
    info->renameFile("again.log");
    EXPECT_EQ(info->fileName(), "renamed.log");
}

} // namespace
