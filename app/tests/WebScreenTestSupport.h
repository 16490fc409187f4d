// A fixture for the web page, information and About screens: the window fixture with a fresh
// device identifier and the app's bundle images, and helpers to wait for a web screen's page.
#pragma once

#include <memory>
#include <string>

#include "app/DVUUID.h"
#include "app/WebPageScreen.h"
#include "app/tests/ServerTestSupport.h"

namespace app::test {

class WebScreenTest : public WindowTest {
protected:
    WebScreenTest()
    {
        DVUUID::resetSharedInstance();
        useAppResources();
    }
    ~WebScreenTest() override
    {
        DVUUID::resetSharedInstance();
        graphics::clearNamedImageCache();
    }

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
};

} // namespace app::test
