// A fixture for the web page, information and About screens: the data server and a fresh home
// (ServerTest), virtual time (HUD messages stay until the clock moves), a key window whose
// navigation controller starts at a plain root, a fresh device identifier, the app's bundle
// images, and helpers to wait for a web screen's page.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/DVUUID.h"
#include "app/WebPageScreen.h"
#include "app/YZXNoBackControlller.h"
#include "app/tests/ServerTestSupport.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "testing/VirtualTime.h"

namespace app::test {

class WebScreenTest : public ServerTest {
protected:
    WebScreenTest()
    {
        uikit::resetDeviceProfile();
        UIApplication::sharedApplication()->reset();
        DVUUID::resetSharedInstance();
        useAppResources();
        root = std::make_shared<YZXNoBackControlller>();
        window = UIWindow::create();
        navigation = UINavigationController::initWithRootViewController(root);
        window->setRootViewController(navigation);
        window->makeKeyAndVisible();
    }
    ~WebScreenTest() override
    {
        uikit::dismissAllAlerts(false);
        time.advance(5);
        testing_support::settle(2);
        window.reset();
        navigation.reset();
        root.reset();
        UIApplication::sharedApplication()->reset();
        DVUUID::resetSharedInstance();
        graphics::clearNamedImageCache();
    }

    // Requests to `path` (below the data root) seen so far.
    static std::size_t hits(const std::string& path) { return server().requests(path).size(); }
    // Waits until the screen's page has loaded `count` times in all and its spinner stopped.
    bool waitForPage(const std::shared_ptr<app::WebPageScreen>& screen, const std::string& path, std::size_t count)
    {
        return waitFor([&] {
            return hits(path) >= count && !screen->bunessWeb()->isLoading() && !screen->activity()->isAnimating()
                && !screen->bunessWeb()->pageHTML().empty();
        });
    }
    // Waits until a reply or a failure was handled: the screens log each reply (which holds
    // "status", or is "(null)" when it was not JSON) or error ("Error Domain=") first.
    bool waitForReplyLogged()
    {
        return waitFor(
            [&] { return loggedContaining("status") || logged("(null)") || loggedContaining("Error Domain="); });
    }
    // Pushes a throwaway screen over the top one and pops it again, so the top one reappears.
    void coverAndReveal()
    {
        navigation->pushViewController(std::make_shared<UIViewController>(), false);
        navigation->popViewControllerAnimated(false);
    }

    testing_support::VirtualTime time;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UINavigationController> navigation;
    std::shared_ptr<YZXNoBackControlller> root;
};

} // namespace app::test
