// Whole-file reads and writes, and what an interrupted atomic write leaves behind.
#include <gtest/gtest.h>

#include <cerrno>
#include <iterator>
#include <utility>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileErrors.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSFileManager.h"
#include "platform/persistence/NSUserDefaults.h"
#include "testing/TempHome.h"
#include "TestSupport.h"

using testing_support::TempHome;

namespace {

// Removes the before-rename hook however the test ends.
struct HookGuard {
    ~HookGuard() { persistence::setBeforeRenameHookForTesting({}); }
};

std::size_t entriesIn(const std::string& folder)
{
    return NSFileManager::defaultManager()->contentsOfDirectoryAtPath(folder).value_or(std::vector<std::string> {}).size();
}

// A child process that writes `path` atomically and stops for good once the new bytes are on
// disk but not yet in place, as a writer killed there would.
class StoppedWriter {
public:
    explicit StoppedWriter(const std::string& path)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        child_ = ::fork();
        if (child_ == 0) {
            persistence::setBeforeRenameHookForTesting([&](const std::string&, const std::string&) {
                char byte = 1;
                (void)!::write(ready[1], &byte, 1);
                for (;;)
                    ::pause();
                return 0;
            });
            persistence::writeToFile(Bytes(4 << 20, 'n'), path, true);
            ::_exit(0);
        }
        ::close(ready[1]);
        pollfd waitFor { ready[0], POLLIN, 0 };
        stopped_ = child_ > 0 && ::poll(&waitFor, 1, 30000) == 1;
        ::close(ready[0]);
    }
    ~StoppedWriter() { kill(); }
    bool stopped() const { return stopped_; }
    // True when the writer was still there and died of the kill.
    bool kill()
    {
        if (child_ <= 0)
            return false;
        ::kill(child_, SIGKILL);
        int status = 0;
        ::waitpid(std::exchange(child_, -1), &status, 0);
        return WIFSIGNALED(status);
    }

private:
    pid_t child_ = -1;
    bool stopped_ = false;
};

} // namespace

TEST(FileIO, ReadsWritesAndReportsErrors)
{
    TempHome home;
    std::string path = home.pathFor("Documents/data.bin");
    Bytes binary { 0, 1, 2, 0xff, 0 };
    for (bool atomically : { false, true }) {
        ASSERT_TRUE(persistence::writeToFile(binary, path, atomically));
        EXPECT_EQ(persistence::dataWithContentsOfFile(path), binary);
    }
    ASSERT_TRUE(persistence::writeToFile(std::string_view("名字"), path, true));
    EXPECT_EQ(persistence::stringWithContentsOfFile(path), "名字");
    EXPECT_EQ(entriesIn(home.pathFor("Documents")), 1u) << "no temporary file is left behind";

    auto read = [&](const std::string& from) {
        return errorOf([&](NSErrorRef* e) { return persistence::dataWithContentsOfFile(from, e); });
    };
    EXPECT_EQ(read(home.pathFor("Documents/none"))->code(), NSFileReadNoSuchFileError);
    read(home.pathFor("Documents")); // a folder is no file

    ASSERT_TRUE(persistence::writeToFile(Bytes { 'a', 0xff, 'b' }, path, false));
    EXPECT_EQ(errorOf([&](NSErrorRef* e) { return persistence::stringWithContentsOfFile(path, e); })->code(),
        NSFileReadCorruptFileError) << "bad UTF-8 is not text";

    std::string nowhere = home.pathFor("no/such/folder/x");
    for (bool atomically : { false, true }) {
        auto error = errorOf([&](NSErrorRef* e) { return persistence::writeToFile(binary, nowhere, atomically, e); });
        EXPECT_EQ(error->code(), NSFileNoSuchFileError);
        EXPECT_EQ(error->userInfo()[NSFilePathErrorKey].asString(), nowhere);
    }
    auto full = errorOf([&](NSErrorRef* e) { return persistence::writeToFile(bytesOf("anything"), "/dev/full", false, e); });
    EXPECT_EQ(full->code(), NSFileWriteOutOfSpaceError) << "a full disk";
    EXPECT_EQ(full->underlyingError()->code(), ENOSPC);
}

TEST(FileIO, FailedRenameKeepsTheOldFileWhole)
{
    TempHome home;
    HookGuard guard;
    std::string path = home.pathFor("Library/Caches/PUSHJSON");
    ASSERT_TRUE(persistence::writeToFile(bytesOf("old content"), path, true));
    ::chmod(path.c_str(), 0640);

    std::string seenTemporary;
    persistence::setBeforeRenameHookForTesting([&](const std::string& temporary, const std::string&) {
        seenTemporary = temporary;
        return EIO;
    });
    EXPECT_EQ(errorOf([&](NSErrorRef* e) { return persistence::writeToFile(Bytes(100000, 'n'), path, true, e); })->code(),
        NSFileWriteUnknownError);
    EXPECT_EQ(persistence::dataWithContentsOfFile(path), bytesOf("old content"));
    EXPECT_EQ(persistence::deletingLastPathComponent(seenTemporary), home.pathFor("Library/Caches"))
        << "the temporary file lies beside the target, so the rename never crosses file systems";
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath(seenTemporary)) << "the failed write cleans up";

    persistence::setBeforeRenameHookForTesting({});
    ASSERT_TRUE(persistence::writeToFile(bytesOf("new"), path, true));
    EXPECT_EQ(persistence::dataWithContentsOfFile(path), bytesOf("new"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "replacing a file keeps its permissions";
}

TEST(FileIO, KilledWriterLeavesTheOldFileWholeAndItsTemporaryGoesWhenTheStoreOpensButALiveOnesStays)
{
    TempHome home;
    std::string folder = home.pathFor("Library/Preferences/killed");
    ASSERT_TRUE(NSFileManager::defaultManager()->createDirectoryAtPath(folder, true));
    std::string path = persistence::appendPathComponent(folder, "com.example.plist");
    ASSERT_TRUE(persistence::writeToFile(bytesOf("old content"), path, true));
    {
        StoppedWriter writer(path);
        ASSERT_TRUE(writer.stopped()) << "the writer never reached the rename";
        EXPECT_EQ(persistence::removeStaleTemporaryFiles(folder), 0u) << "another process still writes it";
        EXPECT_EQ(entriesIn(folder), 2u);
        EXPECT_TRUE(writer.kill());
    }
    EXPECT_EQ(persistence::dataWithContentsOfFile(path), bytesOf("old content"));
    ASSERT_EQ(entriesIn(folder), 2u) << "the killed writer left its temporary file";
    NSUserDefaults::create(path);
    EXPECT_EQ(entriesIn(folder), 1u) << "opening the store removed it";

    // A writer of this process, between its last byte and the rename; a later write still works.
    HookGuard guard;
    std::size_t removedMidWrite = 99;
    persistence::setBeforeRenameHookForTesting([&](const std::string&, const std::string&) {
        removedMidWrite = persistence::removeStaleTemporaryFiles(folder);
        return 0;
    });
    EXPECT_TRUE(persistence::writeToFile(bytesOf("live"), path, true));
    EXPECT_EQ(removedMidWrite, 0u);
    EXPECT_EQ(persistence::dataWithContentsOfFile(path), bytesOf("live"));
}

TEST(FileIO, OnlyTheAtomicWriteNamingCountsAsATemporaryFile)
{
    TempHome home;
    std::string folder = home.pathFor("Library/Caches/images");
    ASSERT_TRUE(NSFileManager::defaultManager()->createDirectoryAtPath(folder, true));
    const std::pair<const char*, bool> cases[] = { // the name, and whether it goes
        { ".a.plist.Ab12Cd", true },
        { ".x.000000", true },
        { ".a.plist.Ab12C", false }, // five random letters
        { ".a.plist.Ab_2Cd", false },
        { "a.plist.Ab12Cd", false }, // not hidden
        { "..Ab12Cd", false }, // no name
        { ".hidden", false },
        { "3f2a9c0d1e", false },
    };
    for (auto [name, removed] : cases)
        ASSERT_TRUE(persistence::writeToFile(bytesOf("x"), persistence::appendPathComponent(folder, name), false));
    ASSERT_TRUE(NSFileManager::defaultManager()->createDirectoryAtPath(persistence::appendPathComponent(folder, ".d.Ab12Cd"), true));
    ASSERT_EQ(::symlink("a.plist.Ab12Cd", persistence::appendPathComponent(folder, ".l.Ab12Cd").c_str()), 0);

    EXPECT_EQ(persistence::removeStaleTemporaryFiles(folder), 2u);
    for (auto [name, removed] : cases)
        EXPECT_EQ(NSFileManager::defaultManager()->fileExistsAtPath(persistence::appendPathComponent(folder, name)), !removed)
            << name;
    EXPECT_EQ(entriesIn(folder), std::size(cases) - 2 + 2) << "the folder and the link stay";
    EXPECT_EQ(persistence::removeStaleTemporaryFiles(home.pathFor("no/such/folder")), 0u);
}
