// The app's bundle: the main bundle's folder, its Info.plist, and every image the app names
// found through UIImage::imageNamed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/AppBundle.h"
#include "platform/graphics/UIImage.h"
#include "platform/persistence/NSBundle.h"

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

TEST_F(HostBundle, InfoPlistNamesTheAppAndEveryImageTheAppNamesComesAtTheScreensScale)
{
    auto bundle = NSBundle::mainBundle();
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(bundle->bundleIdentifier().value_or(""), "com.quillmark.app");
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleName").stringValue(), "Quillmark");
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleExecutable").stringValue(), "quillmark")
        << "the requests' User-Agent names the app by its executable";
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleDevelopmentRegion").stringValue(), "zh_CN")
        << "the platform's own titles read in Chinese";

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
    auto back = UIImage::imageNamed("nav_back");
    auto icon = UIImage::imageNamed("PGProgressHUD.bundle/success.png");
    ASSERT_TRUE(back && icon);
    EXPECT_EQ(back->scale(), 2);
    EXPECT_TRUE(CGSizeEqualToSize(back->size(), { 12, 22 }));
    EXPECT_EQ(icon->size().width, 37);
    EXPECT_EQ(UIImage::imageNamed("PGProgressHUD.bundle/success.png"), icon) << "kept by name";
    EXPECT_EQ(UIImage::imageNamed("no_such_image"), nullptr);
}

} // namespace
