// A fixture for the start-up and home-screen tests: the data server, a fresh home and the log
// (ServerTest), virtual time, the app's bundle images, and every shared library state (push
// record, share library, messenger registration, address-book answers, application) fresh for
// each test. launch() starts the app with AppDelegate as the platform does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/DVUUID.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/RQMainController.h"
#include "app/tests/ServerTestSupport.h"
#include "platform/addressbook/ABTestSeams.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIMenuController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "push/Service/PUSHService.h"
#include "push/Service/PUSHServiceInstance.h"
#include "services/messenger/MGApi.h"
#include "services/share/SHSocialData.h"
#include "services/share/SHSocialHandlers.h"
#include "services/share/SHSocialSnsService.h"
#include "testing/VirtualTime.h"

namespace shell_test {

using app::test::lastHud;
using dataserver::Failure;

class ShellTest : public app::test::ServerTest {
protected:
    ShellTest()
    {
        resetShared();
        app::test::useAppResources();
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
    }

    static void resetShared()
    {
        uikit::dismissAllAlerts(false);
        UIApplication::sharedApplication()->reset();
        uikit::resetDeviceProfile();
        addressbook::resetTestSeams();
        DVUUID::resetSharedInstance();
        PUSHService::reset();
        keepPushClientHome();
        SHSocialData::reset();
        SHSocialSnsService::reset();
        share::resetHandlers();
        MGApi::reset();
        UIPasteboard::generalPasteboard()->clear();
    }

    // The push client the app starts reaches nothing outside the machine: names resolve to
    // nothing, connections go to loopback and the report endpoints refuse at once.
    static void keepPushClientHome()
    {
        struct NoNames : push::HostResolver {
            std::optional<std::string> resolve(const std::string&, double) override { return std::nullopt; }
        };
        push_client::ClientOptions options;
        options.resolver = std::make_shared<NoNames>();
        options.reportEndpoint = "http://127.0.0.1:9/v2/report";
        options.userEndpoint = "http://127.0.0.1:9/v1/user/";
        push_service::setClientOptions(options);
    }

    // Launches the app and waits until the home screen asked for its categories and the share
    // keys were asked for.
    std::shared_ptr<AppDelegate> launch(const Value& options = {})
    {
        delegate = std::make_shared<AppDelegate>();
        uikit::launchApplication(delegate, options);
        EXPECT_TRUE(server().waitForRequests("home/index.do", 1, std::chrono::seconds(10)));
        EXPECT_TRUE(server().waitForRequests("init/share.do", 1, std::chrono::seconds(10)));
        return delegate;
    }
    std::shared_ptr<UINavigationController> navigation() const
    {
        auto window = UIApplication::sharedApplication()->keyWindow();
        return window ? std::dynamic_pointer_cast<UINavigationController>(window->rootViewController()) : nullptr;
    }
    std::shared_ptr<RQMainController> home() const
    {
        auto nav = navigation();
        return nav ? std::dynamic_pointer_cast<RQMainController>(nav->viewControllers().front()) : nullptr;
    }
    std::shared_ptr<UIViewController> top() const { return navigation() ? navigation()->topViewController() : nullptr; }
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
    bool waitForAlert(const std::string& title)
    {
        return waitFor([&] { return uikit::topAlert() && uikit::topAlert()->title() == title; });
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

    testing_support::VirtualTime time;
    std::shared_ptr<AppDelegate> delegate;

private:
    std::shared_ptr<UIWindow> window_;
};

} // namespace shell_test
