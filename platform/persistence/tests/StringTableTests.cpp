// Localized string tables of a bundle: the language order, fallbacks, bad files and caching.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <thread>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSBundle.h"
#include "platform/persistence/NSFileManager.h"
#include "platform/persistence/NSPropertyListSerialization.h"
#include "testing/LocaleEnvironment.h"
#include "testing/TempHome.h"

using testing_support::LocaleEnvironment;
using testing_support::TempHome;

namespace {

void writeTable(const std::string& bundle, const std::string& relative, const Value& strings, NSPropertyListFormat format)
{
    std::string path = bundle + "/" + relative;
    NSFileManager::defaultManager()->createDirectoryAtPath(persistence::deletingLastPathComponent(path), true);
    persistence::writeToFile(*NSPropertyListSerialization::dataWithPropertyList(strings, format), path, false);
}

// A bundle whose development region is Chinese, with Chinese, English and Base tables.
class StringTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = home.useMainBundle("Strings.app", "<key>CFBundleDevelopmentRegion</key><string>zh_CN</string>");
        writeTable(path, "zh_CN.lproj/Localizable.strings", Value::dictionary({ { "Done", "完成" } }), NSPropertyListXMLFormat_v1_0);
        writeTable(path, "en.lproj/Localizable.strings",
            Value::dictionary({ { "Done", "Done!" }, { "Only English", "English" }, { "Number", 7 } }),
            NSPropertyListBinaryFormat_v1_0);
        writeTable(path, "Base.lproj/NKNetworking.strings", Value::dictionary({ { "Unknown", "未知" } }), NSPropertyListXMLFormat_v1_0);
    }
    void TearDown() override { NSBundle::setMainBundlePath({}); }

    TempHome home;
    std::string path;
};

} // namespace

TEST(StringTableOrder, EnvironmentThenDevelopmentRegionThenBaseAndEnglish)
{
    {
        LocaleEnvironment env("zh_CN.UTF-8");
        EXPECT_EQ(persistence::localizationOrder("en"),
            (std::vector<std::string> { "zh_CN", "zh-CN", "zh", "en", "Base" }));
    }
    LocaleEnvironment env("C");
    EXPECT_EQ(persistence::localizationOrder("fr-FR"), (std::vector<std::string> { "fr-FR", "fr_FR", "fr", "Base", "en" }));
    EXPECT_EQ(persistence::localizationOrder(""), (std::vector<std::string> { "Base", "en" }));
}

TEST_F(StringTables, LooksUpInTheLanguageOrderAndFallsBack)
{
    LocaleEnvironment env("C");
    auto bundle = NSBundle::mainBundle();
    EXPECT_EQ(bundle->localizedStringForKey("Done", "x", ""), "完成") << "the development region comes before English";
    EXPECT_EQ(bundle->localizedStringForKey("Only English", "", ""), "English");
    EXPECT_EQ(bundle->localizedStringForKey("Number", "fallback", ""), "fallback") << "a value that is not text";
    EXPECT_EQ(bundle->localizedStringForKey("Missing", "fallback", ""), "fallback");
    EXPECT_EQ(bundle->localizedStringForKey("Missing", "", ""), "Missing");
    EXPECT_EQ(bundle->localizedStringForKey("Missing", "", "NoSuchTable"), "Missing");
    EXPECT_EQ(NSLocalizedStringFromTable("Unknown", "NKNetworking"), "未知");
    EXPECT_EQ(NSLocalizedStringFromTable("Done", "NKNetworking"), "Done");
}

TEST_F(StringTables, TheEnvironmentsLanguageComesFirstAndABadTableIsNoTable)
{
    writeTable(path, "fr.lproj/Localizable.strings", Value::dictionary({ { "Done", "Terminé" } }), NSPropertyListXMLFormat_v1_0);
    persistence::writeToFile(std::string_view("\"Done\" = \"broken"), path + "/zh_CN.lproj/Localizable.strings", false);
    {
        LocaleEnvironment env("fr_FR.UTF-8");
        EXPECT_EQ(NSBundle::mainBundle()->localizedStringForKey("Done", "", ""), "Terminé");
    }
    LocaleEnvironment env("C");
    EXPECT_EQ(NSBundle::bundleWithPath(path)->localizedStringForKey("Done", "", ""), "Done!");
}

TEST_F(StringTables, EachTableIsReadOnceAcrossThreads)
{
    LocaleEnvironment env("C");
    auto bundle = NSBundle::mainBundle();
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            for (int n = 0; n < 50; ++n)
                EXPECT_EQ(bundle->localizedStringForKey("Done", "", ""), "完成");
        });
    for (auto& thread : threads)
        thread.join();
    NSFileManager::defaultManager()->removeItemAtPath(path + "/zh_CN.lproj");
    EXPECT_EQ(bundle->localizedStringForKey("Done", "", ""), "完成") << "the table was kept";
    EXPECT_EQ(NSBundle::bundleWithPath(path)->localizedStringForKey("Done", "", ""), "Done!") << "a new bundle reads again";
}
