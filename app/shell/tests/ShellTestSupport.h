// A fixture for the start-up and home-screen tests: the test's thread as the main thread, a
// fresh home, the data server (one per test program, started on first use and stopped before
// the program exits, so none of its threads outlives what they read) with the app's roots
// pointed at it, the log captured, virtual time, the app's bundle images, and every shared
// library state (push record, share library, messenger registration, address-book answers,
// application) fresh for each test. launch() starts the app with AppDelegate as the platform
// does.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/DVUUID.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/RQMainController.h"
#include "app/tests/ServerTestSupport.h"
#include "platform/addressbook/ABTestSeams.h"
#include "platform/foundation/NSLog.h"
#include "platform/graphics/UIImage.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIMenuController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "push/Service/PUSHService.h"
#include "services/messenger/MGApi.h"
#include "services/share/SHSocialData.h"
#include "services/share/SHSocialHandlers.h"
#include "services/share/SHSocialSnsService.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"
#include "tools/dataserver/DataServer.h"
#include "ui/PGProgressHUD.h"

namespace shell_test {

using dataserver::Failure;

using app::test::sharedServer;

class ShellTest : public ::testing::Test {
protected:
    ShellTest()
    {
        threading::becomeMainThread();
        server().reset();
        ::setenv("QUILLMARK_DATA_ROOT", server().dataRoot().c_str(), 1);
        ::setenv("QUILLMARK_ACCOUNT_ROOT", server().accountRoot().c_str(), 1);
        foundation::setLogSink([this](const std::string& text) {
            std::lock_guard lock(logMutex_);
            logs_.push_back(text);
        });
        resetShared();
        graphics::setResourceResolver([](const std::string& relative) {
            const char* source = std::getenv("QM_SOURCE_DIR");
            auto path = std::filesystem::path(source ? source : ".") / "app" / "resources" / relative;
            return std::filesystem::exists(path) ? path.string() : std::string();
        });
    }
    ~ShellTest() override
    {
        uikit::dismissAllAlerts(false);
        time.advance(5);
        testing_support::settle(2);
        delegate.reset();
        window_.reset();
        resetShared();
        graphics::clearNamedImageCache();
        foundation::setLogSink({});
        ::unsetenv("QUILLMARK_DATA_ROOT");
        ::unsetenv("QUILLMARK_ACCOUNT_ROOT");
        server().reset();
    }

    static dataserver::DataServer& server() { return sharedServer(); }
    static bool waitFor(const std::function<bool()>& predicate, double seconds = 10)
    {
        return testing_support::runUntil(predicate, seconds);
    }
    bool logged(const std::string& text)
    {
        std::lock_guard lock(logMutex_);
        return std::find(logs_.begin(), logs_.end(), text) != logs_.end();
    }
    bool loggedContaining(const std::string& text)
    {
        std::lock_guard lock(logMutex_);
        return std::any_of(
            logs_.begin(), logs_.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }
    static void resetShared()
    {
        uikit::dismissAllAlerts(false);
        UIApplication::sharedApplication()->reset();
        uikit::resetDeviceProfile();
        addressbook::resetTestSeams();
        DVUUID::resetSharedInstance();
        PUSHService::reset();
        SHSocialData::reset();
        SHSocialSnsService::reset();
        share::resetHandlers();
        MGApi::reset();
        UIPasteboard::generalPasteboard()->clear();
    }

    // Launches the app and waits until the home screen has its categories reply (or failure)
    // and the share keys were asked for.
    std::shared_ptr<AppDelegate> launch(const Value& options = {})
    {
        delegate = std::make_shared<AppDelegate>();
        uikit::launchApplication(delegate, options);
        EXPECT_TRUE(server().waitForRequests("home/index.do", 1, std::chrono::seconds(10)));
        EXPECT_TRUE(server().waitForRequests("init/share.do", 1, std::chrono::seconds(10)));
        return delegate;
    }
    std::shared_ptr<RQMainController> home() const
    {
        auto navigation = this->navigation();
        return navigation ? std::dynamic_pointer_cast<RQMainController>(navigation->viewControllers().front())
                          : nullptr;
    }
    std::shared_ptr<UINavigationController> navigation() const
    {
        auto window = UIApplication::sharedApplication()->keyWindow();
        return window ? std::dynamic_pointer_cast<UINavigationController>(window->rootViewController()) : nullptr;
    }
    std::shared_ptr<UIViewController> top() const
    {
        auto navigation = this->navigation();
        return navigation ? navigation->topViewController() : nullptr;
    }
    // The shown tiles' captions, in order, after a layout pass.
    std::vector<std::string> captions()
    {
        uikit::runUpdatePass();
        std::vector<std::string> out;
        auto grid = home()->collectionView();
        for (const auto& path : grid->indexPathsForVisibleItems()) {
            auto cell = std::dynamic_pointer_cast<RQClassCell>(grid->cellForItemAtIndexPath(path));
            out.push_back(cell ? cell->tileLabel()->text() : "?");
        }
        return out;
    }
    static std::string lastHud(const std::shared_ptr<UIView>& view)
    {
        auto huds = PGProgressHUD::allHUDsForView(view);
        return huds.empty() ? std::string() : huds.back()->labelText();
    }
    bool waitForHud(const std::shared_ptr<UIView>& view, const std::string& text)
    {
        return waitFor([&] { return lastHud(view) == text; });
    }
    bool waitForAlert(const std::string& title)
    {
        return waitFor([&] {
            auto alert = uikit::topAlert();
            return alert && alert->title() == title;
        });
    }
    // A new home screen at the root of a new key window, as launch() makes it, without the rest
    // of the start-up.
    std::shared_ptr<RQMainController> showHome()
    {
        auto screen = RQMainController::create();
        window_ = UIWindow::create(UIScreen::mainScreen()->bounds());
        window_->setRootViewController(UINavigationController::initWithRootViewController(screen));
        window_->makeKeyAndVisible();
        uikit::runUpdatePass();
        return screen;
    }

    testing_support::TempHome home_;
    testing_support::VirtualTime time;
    std::shared_ptr<AppDelegate> delegate;

private:
    std::shared_ptr<UIWindow> window_;
    std::mutex logMutex_;
    std::vector<std::string> logs_;
};

} // namespace shell_test
