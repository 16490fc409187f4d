// The platform's own titles follow the main bundle's development region.
#include "Fixture.h"

#include <filesystem>
#include <fstream>

#include "platform/persistence/NSBundle.h"
#include "platform/uikit/SystemText.h"
#include "platform/uikit/UIBars.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UIViewController.h"
#include "testing/TempHome.h"

namespace {

void writeInfoPlist(const std::string& folder, const char* region)
{
    std::ofstream plist(folder + "/Info.plist");
    plist << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    if (region)
        plist << "\t<key>CFBundleDevelopmentRegion</key>\n\t<string>" << region << "</string>\n";
    plist << "</dict>\n</plist>\n";
}

std::string backButtonTitle()
{
    auto first = std::make_shared<UIViewController>();
    auto nav = UINavigationController::initWithRootViewController(first);
    nav->pushViewController(std::make_shared<UIViewController>(), false);
    auto bar = nav->navigationBar();
    bar->setFrame({ { 0, 20 }, { 320, 44 } });
    bar->layoutIfNeeded();
    for (const auto& view : bar->subviews()) {
        if (auto button = std::dynamic_pointer_cast<UIButton>(view))
            return button->currentTitle();
    }
    return "";
}

TEST_F(UIKitTest, SystemTitlesSpeakTheBundlesDevelopmentRegion)
{
    struct Case {
        const char* region; // null: Info.plist without one
        const char* done;
        const char* cancel;
        const char* back;
        const char* photos;
    };
    const Case cases[] = {
        { nullptr, "Done", "Cancel", "Back", "Photos" },
        { "en", "Done", "Cancel", "Back", "Photos" },
        { "zh_CN", "完成", "取消", "返回", "照片" },
        { "zh-Hans", "完成", "取消", "返回", "照片" },
        { "China", "完成", "取消", "返回", "照片" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.region ? c.region : "no region");
        testing_support::TempHome home;
        std::string folder = home.pathFor("Bundle.app");
        std::filesystem::create_directories(folder);
        writeInfoPlist(folder, c.region);
        NSBundle::setMainBundlePath(folder);

        EXPECT_EQ(UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemDone, {})->title(), c.done);
        EXPECT_EQ(UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemCancel, {})->title(), c.cancel);
        EXPECT_EQ(backButtonTitle(), c.back);
        auto picker = UIImagePickerController::create();
        EXPECT_EQ(picker->topViewController()->title(), c.photos);
    }
    NSBundle::setMainBundlePath("");
}

} // namespace
