// The app's bundle: the main bundle's folder, its Info.plist, and every image the app names
// found through UIImage::imageNamed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/AppBundle.h"
#include "platform/graphics/UIImage.h"
#include "platform/persistence/NSBundle.h"
#include "testing/TempHome.h"

namespace {

std::string sourceResources()
{
    const char* source = std::getenv("QM_SOURCE_DIR");
    return std::string(source ? source : ".") + "/app/resources";
}

class HostBundle : public ::testing::Test {
protected:
    void SetUp() override { host::useAppBundle(sourceResources()); }
    void TearDown() override
    {
        NSBundle::setMainBundlePath("");
        graphics::setResourceResolver(nullptr);
        graphics::clearNamedImageCache();
    }
};

TEST_F(HostBundle, InfoPlistNamesTheAppAndNamedImagesComeAtTheScreensScale)
{
    auto bundle = NSBundle::mainBundle();
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(bundle->bundleIdentifier().value_or(""), "com.quillmark.app");
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleName").stringValue(), "Quillmark");
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleDevelopmentRegion").stringValue(), "zh_CN")
        << "the platform's own titles read in Chinese";

    auto back = UIImage::imageNamed("nav_back");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->scale(), 2);
    EXPECT_TRUE(CGSizeEqualToSize(back->size(), { 12, 22 }));
    auto icon = UIImage::imageNamed("PGProgressHUD.bundle/success.png");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->size().width, 37);
    EXPECT_EQ(UIImage::imageNamed("PGProgressHUD.bundle/success.png"), icon) << "kept by name";
    EXPECT_EQ(UIImage::imageNamed("no_such_image"), nullptr);
}

TEST_F(HostBundle, EveryImageTheAppNamesIsThere)
{
    std::vector<std::string> names = { "toutou.png", "moren", "sanjiao", "nav_back", "zuodi", "zuo", "youdi", "you",
        "PGProgressHUD.bundle/success.png", "PGProgressHUD.bundle/error.png",
        "KBKeyboardManager.bundle/KBButtonBarArrowLeft", "KBKeyboardManager.bundle/KBButtonBarArrowRight" };
    for (int i = 0; i < 6; ++i)
        names.push_back("750_" + std::to_string(i));
    for (const auto& name : names) {
        EXPECT_NE(UIImage::imageNamed(name), nullptr) << name;
        // The exact file too, for lookups that go to the folder without scale variants.
        std::string file = name.ends_with(".png") ? name : name + ".png";
        EXPECT_TRUE(std::filesystem::is_regular_file(sourceResources() + "/" + file)) << file;
    }
}

TEST_F(HostBundle, LookupsFollowTheMainBundleAndTheEnvironmentOverridesTheFolder)
{
    testing_support::TempHome home;
    host::useAppBundle(home.path());
    EXPECT_EQ(UIImage::imageNamed("nav_back"), nullptr) << "an empty bundle has no images";

    ::setenv("QUILLMARK_BUNDLE", home.path().c_str(), 1);
    EXPECT_EQ(host::appBundleFolder("/compiled/in"), home.path());
    ::setenv("QUILLMARK_BUNDLE", "", 1);
    EXPECT_EQ(host::appBundleFolder("/compiled/in"), "/compiled/in") << "an empty override is none";
    ::unsetenv("QUILLMARK_BUNDLE");
    EXPECT_EQ(host::appBundleFolder("/compiled/in"), "/compiled/in");
}

} // namespace
