// The main bundle (Info.plist, resources) and the user defaults kept in the home.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSBundle.h"
#include "platform/persistence/NSFileManager.h"
#include "platform/persistence/NSPropertyListSerialization.h"
#include "platform/persistence/NSUserDefaults.h"
#include "platform/persistence/PreferredLanguages.h"
#include "testing/TempHome.h"

using testing_support::TempHome;

namespace {

// A bundle folder in the temporary home, made the main bundle while it lives.
class TestBundle {
public:
    TestBundle(const TempHome& home, const Value& info, NSPropertyListFormat format)
        : path_(home.pathFor("Bundle.app"))
    {
        NSFileManager::defaultManager()->createDirectoryAtPath(path_ + "/PGProgressHUD.bundle", true);
        for (const char* file : { "PushConfig.plist", "PGProgressHUD.bundle/success.png", "b.cer", "a.cer" })
            persistence::writeToFile(std::string_view(file), path_ + "/" + file, false);
        if (!info.isAbsent())
            persistence::writeToFile(*NSPropertyListSerialization::dataWithPropertyList(info, format), path_ + "/Info.plist", false);
        NSBundle::setMainBundlePath(path_);
    }
    ~TestBundle() { NSBundle::setMainBundlePath({}); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace

TEST(Bundle, InfoDictionaryInEitherFormat)
{
    TempHome home;
    for (auto format : { NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0 }) {
        TestBundle bundle(home, Value::dictionary({ { "CFBundleIdentifier", "com.example.quill" },
                                    { "CFBundleShortVersionString", "1.2" } }),
            format);
        auto main = NSBundle::mainBundle();
        EXPECT_EQ(main->bundleIdentifier(), "com.example.quill");
        EXPECT_EQ(main->objectForInfoDictionaryKey("CFBundleShortVersionString").asString(), "1.2");
        EXPECT_TRUE(main->objectForInfoDictionaryKey("UIBackgroundModes").isAbsent());
        NSFileManager::defaultManager()->removeItemAtPath(bundle.path());
    }
}

// Threads still at work while the program exits (a log queue naming its file) ask for the main
// bundle after static objects have begun to go.
TEST(Bundle, TheMainBundleCanBeAskedForWhileTheProgramExits)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            NSBundle::mainBundle();
            std::thread([] {
                for (;;)
                    NSBundle::mainBundle()->bundlePath();
            }).detach();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Bundle, FindsResourcesWithoutAnInfoDictionary)
{
    TempHome home;
    TestBundle bundle(home, Value(), NSPropertyListXMLFormat_v1_0);
    auto main = NSBundle::mainBundle();
    EXPECT_FALSE(main->bundleIdentifier());
    EXPECT_TRUE(main->infoDictionary().isDictionary());
    EXPECT_FALSE(NSBundle::bundleWithPath(home.pathFor("nothing-here")));
    ASSERT_TRUE(NSBundle::bundleWithPath(bundle.path() + "/PGProgressHUD.bundle"));
    for (auto [name, type, found] : { std::tuple { "PushConfig", "plist", "/PushConfig.plist" },
             { "PushConfig", ".plist", "/PushConfig.plist" }, { "PushConfig.plist", "", "/PushConfig.plist" },
             { "PGProgressHUD.bundle/success", "png", "/PGProgressHUD.bundle/success.png" }, { "", "cer", "/a.cer" } })
        EXPECT_EQ(main->pathForResource(name, type), bundle.path() + found) << name << " " << type;
    EXPECT_FALSE(main->pathForResource("embedded", "mobileprovision"));
    EXPECT_EQ(main->pathForResource("success", "png", "PGProgressHUD.bundle"),
        bundle.path() + "/PGProgressHUD.bundle/success.png");
    EXPECT_EQ(main->pathsForResourcesOfType("cer"),
        (std::vector<std::string> { bundle.path() + "/a.cer", bundle.path() + "/b.cer" }));
    EXPECT_EQ(main->resourcePath(), bundle.path());
}

TEST(UserDefaults, TypedReads)
{
    TempHome home;
    auto defaults = NSUserDefaults::standardUserDefaults();
    // The system answers the user's languages until the app sets its own.
    EXPECT_EQ(defaults->stringForKey("AppleLanguages"), std::nullopt);
    EXPECT_EQ(defaults->arrayForKey("AppleLanguages")[0].asString(), persistence::preferredLanguages().front());
    defaults->setObject("ABC", "dv_uuidForDevice");
    defaults->setObject(12, "number");
    defaults->setObject(" 42abc", "numericText");
    defaults->setObject(Value::array({ "zh-Hans", "en" }), "AppleLanguages");
    defaults->setObject(Value::dictionary({ { "k", 1 } }), "dict");
    defaults->setObject(Value(Bytes { 1, 2 }), "blob");
    defaults->setObject(Value::date(1700000000), "PZRefreshHeaderView");
    defaults->setBool(true, "kPUSHServerIsNotFirstStart");
    defaults->setDouble(2.5, "ratio");

    EXPECT_EQ(defaults->stringForKey("dv_uuidForDevice"), "ABC");
    EXPECT_FALSE(defaults->stringForKey("number")) << "a number is not a string";
    EXPECT_FALSE(defaults->stringForKey("missing"));
    EXPECT_EQ(defaults->integerForKey("number"), 12);
    EXPECT_EQ(defaults->integerForKey("numericText"), 42);
    EXPECT_EQ(defaults->integerForKey("AppleLanguages"), 0);
    EXPECT_TRUE(defaults->boolForKey("kPUSHServerIsNotFirstStart"));
    EXPECT_FALSE(defaults->boolForKey("missing"));
    EXPECT_DOUBLE_EQ(defaults->doubleForKey("ratio"), 2.5);
    EXPECT_EQ(defaults->arrayForKey("AppleLanguages")[0].asString(), "zh-Hans");
    EXPECT_TRUE(defaults->arrayForKey("dict").isAbsent());
    EXPECT_EQ(defaults->dictionaryForKey("dict")["k"].integerValue(), 1);
    EXPECT_TRUE(defaults->dictionaryForKey("AppleLanguages").isAbsent());
    EXPECT_EQ(defaults->dataForKey("blob").asData(), (Bytes { 1, 2 }));
    EXPECT_TRUE(defaults->dataForKey("dv_uuidForDevice").isAbsent());
    EXPECT_TRUE(defaults->objectForKey("PZRefreshHeaderView").isDate());

    EXPECT_FALSE(defaults->setObject(Value::array({ Value::null() }), "bad")) << "null cannot be stored";
    EXPECT_TRUE(defaults->objectForKey("bad").isAbsent());
    defaults->setObject(Value(), "number");
    EXPECT_TRUE(defaults->objectForKey("number").isAbsent()) << "setting nothing removes the key";
    defaults->removeObjectForKey("ratio");
    EXPECT_FALSE(defaults->dictionaryRepresentation().contains("ratio"));
}

TEST(UserDefaults, PersistAcrossInstancesAndStayInTheirHome)
{
    std::string firstHomePath;
    {
        TempHome home;
        firstHomePath = home.path();
        auto defaults = NSUserDefaults::standardUserDefaults();
        EXPECT_EQ(defaults->filePath(), home.pathFor("Library/Preferences/quillmark.plist"));
        defaults->setObject("kept", "dv_uuidForInstallation");
        defaults->setObject(Value(UINT64_MAX), "__PUSHLocalTime");
        ASSERT_TRUE(defaults->synchronize());

        auto reread = NSUserDefaults::create(defaults->filePath());
        EXPECT_EQ(reread->stringForKey("dv_uuidForInstallation"), "kept");
        EXPECT_EQ(reread->objectForKey("__PUSHLocalTime").unsignedValue(), UINT64_MAX);

        // A test that switches homes gets fresh defaults, and the first home keeps its own.
        {
            TempHome other;
            auto fresh = NSUserDefaults::standardUserDefaults();
            EXPECT_NE(fresh, defaults);
            EXPECT_FALSE(fresh->stringForKey("dv_uuidForInstallation"));
            fresh->setObject("other", "dv_uuidForInstallation");
        }
        auto back = NSUserDefaults::standardUserDefaults();
        EXPECT_EQ(back->stringForKey("dv_uuidForInstallation"), "kept");

        // Changes not yet synchronised are written when the defaults are let go.
        back->setObject("late", "late");
        NSUserDefaults::resetStandardUserDefaults();
        EXPECT_EQ(NSUserDefaults::standardUserDefaults()->stringForKey("late"), "late");
    }
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath(firstHomePath)) << "the temporary home is removed";
}

TEST(UserDefaults, NamedAfterTheBundleAndSurviveADamagedFile)
{
    TempHome home;
    TestBundle bundle(home, Value::dictionary({ { "CFBundleIdentifier", "com.example.quill" } }), NSPropertyListXMLFormat_v1_0);
    NSUserDefaults::resetStandardUserDefaults();
    std::string path = home.pathFor("Library/Preferences/com.example.quill.plist");
    ASSERT_TRUE(persistence::writeToFile(std::string_view("bplist00 not really"), path, false));
    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->filePath(), path);
    EXPECT_TRUE(defaults->dictionaryRepresentation().asDictionary().empty());
    defaults->setObject(1, "a");
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_EQ(NSUserDefaults::create(path)->integerForKey("a"), 1);
    NSUserDefaults::resetStandardUserDefaults();
}

TEST(UserDefaults, SafeAcrossThreads)
{
    TempHome home;
    auto defaults = NSUserDefaults::standardUserDefaults();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([defaults, t] {
            for (int i = 0; i < 200; ++i) {
                defaults->setInteger(i, "k" + std::to_string(t));
                defaults->integerForKey("k" + std::to_string((t + 1) % 4));
                if (i % 50 == 0)
                    defaults->synchronize();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    ASSERT_TRUE(defaults->synchronize());
    auto reread = NSUserDefaults::create(defaults->filePath());
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(reread->integerForKey("k" + std::to_string(t)), 199);
}
