// A fixture for the start-up and home-screen tests: ServerTest, virtual time, the app's bundle
// images, and every shared library state (push record, share library, messenger, address-book
// answers, application) fresh for each test. launch() starts the app as the platform does.
#pragma once

#include "app/DVUUID.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/RQMainController.h"
#include "app/tests/ServerTestSupport.h"
#include "platform/addressbook/ABTestSeams.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UIMenuController.h"
#include "push/Service/PUSHService.h"
#include "push/Service/PUSHServiceInstance.h"
#include "services/messenger/MGApi.h"
#include "services/share/SHSocialData.h"
#include "services/share/SHSocialHandlers.h"
#include "services/share/SHSocialSnsService.h"

namespace shell_test {

using app::test::lastHud;
using dataserver::Failure;

class ShellTest : public app::test::ServerTest {
protected:
    ShellTest()
    {
        resetShared();
        app::test::useAppResources();
        // The push client the app starts reaches nothing outside the machine: names resolve to
        // nothing, connections go to loopback and the report endpoints refuse at once.
        struct NoNames : push::HostResolver {
            std::optional<std::string> resolve(const std::string&, double) override { return std::nullopt; }
        };
        push_client::ClientOptions options;
        options.resolver = std::make_shared<NoNames>();
        options.reportEndpoint = "http://127.0.0.1:9/v2/report";
        options.userEndpoint = "http://127.0.0.1:9/v1/user/";
        push_service::setClientOptions(options);
    }
    ~ShellTest() override
    {
        uikit::dismissAllAlerts(false);
        time.advance(5);
        testing_support::settle(2);
        delegate.reset();
        homeWindow.reset();
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
        SHSocialData::reset();
        SHSocialSnsService::reset();
        share::resetHandlers();
        MGApi::reset();
        UIPasteboard::generalPasteboard()->clear();
    }

    // Launches the app and waits until the home screen asked for its categories and the share
    // keys were asked for.
    std::shared_ptr<AppDelegate> launch()
    {
        delegate = std::make_shared<AppDelegate>();
        uikit::launchApplication(delegate, Value());
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
        return navigation() ? std::dynamic_pointer_cast<RQMainController>(navigation()->viewControllers().front()) : nullptr;
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
    // A new home screen at the root of a new key window, as launch() makes it, without the rest
    // of the start-up.
    std::shared_ptr<RQMainController> showHome()
    {
        auto screen = RQMainController::create();
        homeWindow = UIWindow::create(UIScreen::mainScreen()->bounds());
        homeWindow->setRootViewController(UINavigationController::initWithRootViewController(screen));
        homeWindow->makeKeyAndVisible();
        uikit::runUpdatePass();
        return screen;
    }

    testing_support::VirtualTime time;
    std::shared_ptr<AppDelegate> delegate;
    std::shared_ptr<UIWindow> homeWindow; // showHome()'s
};

} // namespace shell_test
