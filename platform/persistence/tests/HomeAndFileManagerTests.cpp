// The app's home and the file manager, on real files in a temporary home.
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileErrors.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSFileManager.h"
#include "testing/TempHome.h"
#include "TestSupport.h"

using testing_support::TempHome;

namespace {

void writeText(const std::string& path, std::string_view text)
{
    ASSERT_TRUE(persistence::writeToFile(text, path, false));
}

} // namespace

TEST(AppHome, LaysOutTheHomeAndFollowsTheEnvironment)
{
    TempHome first;
    EXPECT_EQ(NSHomeDirectory(), first.path());
    auto fm = NSFileManager::defaultManager();
    for (const char* folder : { "Documents", "Library/Caches", "Library/Preferences", "Library/Keychains",
             "Library/AddressBook", "tmp" }) {
        bool isDirectory = false;
        EXPECT_TRUE(fm->fileExistsAtPath(first.pathFor(folder), &isDirectory)) << folder;
        EXPECT_TRUE(isDirectory) << folder;
    }
    EXPECT_EQ(NSTemporaryDirectory(), first.pathFor("tmp") + "/");
    for (auto [directory, folder] : { std::pair { NSCachesDirectory, "Library/Caches" },
             std::pair { NSDocumentDirectory, "Documents" }, std::pair { NSLibraryDirectory, "Library" } })
        EXPECT_EQ(NSSearchPathForDirectoriesInDomains(directory, NSUserDomainMask, true),
            std::vector<std::string> { first.pathFor(folder) });
    EXPECT_TRUE(NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSSystemDomainMask, true).empty());

    {
        TempHome second;
        EXPECT_EQ(NSHomeDirectory(), second.path());
        EXPECT_NE(second.path(), first.path());
    }
    EXPECT_EQ(NSHomeDirectory(), first.path());
    // A folder removed behind the app's back comes back when the home is asked for again.
    ASSERT_TRUE(fm->removeItemAtPath(first.pathFor("tmp")));
    NSTemporaryDirectory();
    EXPECT_TRUE(fm->fileExistsAtPath(first.pathFor("tmp")));
}

TEST(AppHome, PathComponents)
{
    EXPECT_EQ(persistence::appendPathComponent("/a/", "/b"), "/a/b");
    EXPECT_EQ(persistence::appendPathComponent("/a", ""), "/a");
    EXPECT_EQ(persistence::deletingLastPathComponent("/a/b/"), "/a");
    EXPECT_EQ(persistence::deletingLastPathComponent("/a"), "/");
    EXPECT_EQ(persistence::deletingLastPathComponent("a"), ".");
    EXPECT_EQ(persistence::lastPathComponent("/a/b.log"), "b.log");
}

TEST(FileManager, DirectoriesFilesAndListing)
{
    TempHome home;
    auto fm = NSFileManager::defaultManager();
    std::string deep = home.pathFor("Library/Caches/x/y/z");
    auto createDeep = [&](NSErrorRef* error) { return fm->createDirectoryAtPath(deep, false, {}, error); };
    EXPECT_EQ(errorOf(createDeep)->code(), NSFileNoSuchFileError);
    EXPECT_TRUE(fm->createDirectoryAtPath(deep, true));
    EXPECT_TRUE(fm->createDirectoryAtPath(deep, true)) << "an existing folder is fine with intermediates";
    EXPECT_EQ(errorOf(createDeep)->code(), NSFileWriteFileExistsError);

    std::string file = home.pathFor("Library/Caches/x/file.bin");
    EXPECT_TRUE(fm->createFileAtPath(file, bytesOf("hello")));
    EXPECT_EQ(fm->contentsAtPath(file), bytesOf("hello"));
    EXPECT_TRUE(fm->createFileAtPath(file, bytesOf("replaced")));
    EXPECT_EQ(fm->contentsAtPath(file), bytesOf("replaced"));
    bool isDirectory = true;
    EXPECT_TRUE(fm->fileExistsAtPath(file, &isDirectory));
    EXPECT_FALSE(isDirectory);
    EXPECT_EQ(errorOf([&](NSErrorRef* e) { return fm->createDirectoryAtPath(file, true, {}, e); })->code(),
        NSFileWriteFileExistsError) << "a file is in the way";

    writeText(home.pathFor("Library/Caches/x/.hidden"), "h");
    auto names = fm->contentsOfDirectoryAtPath(home.pathFor("Library/Caches/x"));
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (std::vector<std::string> { ".hidden", "file.bin", "y" }));
    EXPECT_EQ(errorOf([&](NSErrorRef* e) { return fm->contentsOfDirectoryAtPath(home.pathFor("nowhere"), e); })->code(),
        NSFileReadNoSuchFileError);
}

TEST(FileManager, AttributesAndModificationDate)
{
    TempHome home;
    auto fm = NSFileManager::defaultManager();
    std::string file = home.pathFor("Documents/a.txt");
    writeText(file, "12345");
    Value attributes = fm->attributesOfItemAtPath(file);
    ASSERT_TRUE(attributes.isDictionary());
    EXPECT_EQ(attributes[NSFileSize].integerValue(), 5);
    EXPECT_EQ(attributes[NSFileType].asString(), NSFileTypeRegular);
    EXPECT_TRUE(attributes[NSFileModificationDate].isDate());
    EXPECT_TRUE(attributes[NSFileCreationDate].isDate());
    EXPECT_EQ(fm->attributesOfItemAtPath(home.pathFor("Documents"))[NSFileType].asString(), NSFileTypeDirectory);

    ASSERT_TRUE(fm->setAttributes(Value::dictionary({ { NSFileModificationDate, Value::date(1000000000.25) } }), file));
    EXPECT_NEAR(fm->attributesOfItemAtPath(file)[NSFileModificationDate].asDate(), 1000000000.25, 1e-6);

    auto error = errorOf([&](NSErrorRef* e) { return !fm->attributesOfItemAtPath(home.pathFor("missing"), e).isAbsent(); });
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
    EXPECT_EQ(error->code(), NSFileReadNoSuchFileError);
    EXPECT_EQ(error->userInfo()[NSFilePathErrorKey].asString(), home.pathFor("missing"));
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->domain(), NSPOSIXErrorDomain);
    EXPECT_EQ(error->underlyingError()->code(), ENOENT);
}

TEST(FileManager, RemoveMoveAndCopy)
{
    TempHome home;
    auto fm = NSFileManager::defaultManager();
    std::string tree = home.pathFor("Documents/tree");
    ASSERT_TRUE(fm->createDirectoryAtPath(tree + "/a/b", true));
    writeText(tree + "/a/b/leaf", "leaf");
    writeText(tree + "/top", "top");

    ASSERT_TRUE(fm->copyItemAtPath(tree, home.pathFor("Documents/copy")));
    EXPECT_EQ(fm->contentsAtPath(home.pathFor("Documents/copy/a/b/leaf")), bytesOf("leaf"));

    std::string taken = home.pathFor("Documents/copy/top");
    EXPECT_EQ(errorOf([&](NSErrorRef* e) { return fm->copyItemAtPath(tree + "/top", taken, e); })->code(),
        NSFileWriteFileExistsError);
    EXPECT_EQ(errorOf([&](NSErrorRef* e) { return fm->moveItemAtPath(tree + "/top", taken, e); })->code(),
        NSFileWriteFileExistsError);
    EXPECT_EQ(fm->contentsAtPath(tree + "/top"), bytesOf("top")) << "a refused move leaves the source";

    ASSERT_TRUE(fm->moveItemAtPath(tree + "/top", tree + "/moved"));
    EXPECT_FALSE(fm->fileExistsAtPath(tree + "/top"));
    EXPECT_EQ(fm->contentsAtPath(tree + "/moved"), bytesOf("top"));

    ASSERT_TRUE(fm->removeItemAtPath(tree));
    EXPECT_FALSE(fm->fileExistsAtPath(tree));
    EXPECT_EQ(errorOf([&](NSErrorRef* e) { return fm->removeItemAtPath(tree, e); })->code(), NSFileNoSuchFileError);
    EXPECT_EQ(errorOf([&](NSErrorRef* e) { return fm->moveItemAtPath(tree, tree + "2", e); })->code(),
        NSFileNoSuchFileError);
}

TEST(FileManager, EnumeratorWalksEverythingOrSkipsHidden)
{
    TempHome home;
    auto fm = NSFileManager::defaultManager();
    std::string root = home.pathFor("Library/Caches/walk");
    ASSERT_TRUE(fm->createDirectoryAtPath(root + "/sub/.hiddendir", true));
    writeText(root + "/one", "1");
    writeText(root + "/.dot", "22");
    writeText(root + "/sub/two", "333");
    writeText(root + "/sub/.hiddendir/three", "4444");

    std::vector<std::string> seen;
    std::uint64_t total = 0;
    auto all = fm->enumeratorAtPath(root);
    while (auto entry = all->nextObject()) {
        seen.push_back(*entry);
        if (all->fileAttributes()[NSFileType].asString() == NSFileTypeRegular)
            total += all->fileAttributes()[NSFileSize].unsignedValue();
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string> { ".dot", "one", "sub", "sub/.hiddendir", "sub/.hiddendir/three", "sub/two" }));
    EXPECT_EQ(total, 10u);

    auto visible = fm->enumeratorAtPath(root,
        { NSURLIsDirectoryKey, NSURLContentModificationDateKey, NSURLTotalFileAllocatedSizeKey, NSURLFileSizeKey },
        NSDirectoryEnumerationSkipsHiddenFiles);
    std::vector<std::string> files;
    while (auto entry = visible->nextObject()) {
        Value values = visible->resourceValues();
        EXPECT_TRUE(values[NSURLContentModificationDateKey].isDate());
        if (values[NSURLIsDirectoryKey].boolValue())
            continue;
        EXPECT_GT(values[NSURLTotalFileAllocatedSizeKey].integerValue(), 0);
        files.push_back(*entry);
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string> { root + "/one", root + "/sub/two" }));

    EXPECT_FALSE(fm->enumeratorAtPath(home.pathFor("missing"))->nextObject()) << "a missing folder has no entries";
}

TEST(FileManager, ExtendedAttributes)
{
    TempHome home;
    auto fm = NSFileManager::defaultManager();
    std::string file = home.pathFor("Library/Caches/log.log");
    writeText(file, "x");
    EXPECT_FALSE(fm->hasExtendedAttribute("push.log.archived", file));
    ASSERT_TRUE(fm->setExtendedAttribute("push.log.archived", {}, file));
    EXPECT_TRUE(fm->hasExtendedAttribute("push.log.archived", file)) << "an empty value still marks the file";
    ASSERT_TRUE(fm->setExtendedAttribute("note", bytesOf("value"), file));
    EXPECT_EQ(fm->extendedAttribute("note", file), bytesOf("value"));
    EXPECT_EQ(fm->extendedAttribute("user.note", file), bytesOf("value")) << "namespaced names are used as they are";

    // The mark moves with the file.
    ASSERT_TRUE(fm->moveItemAtPath(file, file + ".moved"));
    EXPECT_TRUE(fm->hasExtendedAttribute("push.log.archived", file + ".moved"));

    ASSERT_TRUE(fm->removeExtendedAttribute("push.log.archived", file + ".moved"));
    auto removed = errorOf([&](NSErrorRef* e) { return fm->removeExtendedAttribute("push.log.archived", file + ".moved", e); });
    EXPECT_EQ(removed->domain(), NSPOSIXErrorDomain);
    EXPECT_EQ(removed->code(), ENODATA) << "removing what is not there says so";
    EXPECT_EQ(errorOf([&](NSErrorRef* e) { return fm->extendedAttribute("note", home.pathFor("missing"), e); })->code(), ENOENT);

    ASSERT_TRUE(fm->setExcludedFromBackup(file + ".moved", true));
    EXPECT_TRUE(fm->isExcludedFromBackup(file + ".moved"));
    ASSERT_TRUE(fm->setExcludedFromBackup(file + ".moved", false));
    ASSERT_TRUE(fm->setExcludedFromBackup(file + ".moved", false)) << "clearing twice is fine";
    EXPECT_FALSE(fm->isExcludedFromBackup(file + ".moved"));
}
