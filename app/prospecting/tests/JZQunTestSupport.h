// A fixture for the QR-code screens: the lead screens' fixture (data server, virtual time, a
// window with a navigation controller) plus the app's image resources, an empty album and
// picker registry, and helpers to push a screen, lay out its table and pick pictures.
#pragma once

#include <string>

#include "app/prospecting/tests/ScreenTestSupport.h"
#include "image/WIImageManager.h"
#include "platform/threading/Dispatch.h"
#include "platform/uikit/PhotoAlbum.h"
#include "platform/uikit/UIImagePickerController.h"

namespace app::test {

class QrScreenTest : public ScreenTest {
protected:
    QrScreenTest()
    {
        useAppResources();
        uikit::album::reset();
        uikit::album::setFolder(home_.pathFor("Media/DCIM"));
        uikit::imagePicker::reset();
        // Pictures come from the server in every test, not from an earlier test's cache.
        auto cache = WIImageManager::sharedManager()->imageCache();
        cache->clearMemory();
        cache->clearDisk();
        dispatch_sync(cache->ioQueue(), [] { });
    }
    ~QrScreenTest() override
    {
        finishImageWork();
        uikit::imagePicker::reset();
        uikit::album::reset();
        graphics::setResourceResolver({});
    }

    // Every record starts a picture download. Those still under way when a test ends would run
    // on into the program's exit, on worker threads that use objects being destroyed, and into
    // the next test's empty home: each test lets them finish, their disk writes included.
    void finishImageWork()
    {
        server().release();
        auto manager = WIImageManager::sharedManager();
        EXPECT_TRUE(waitFor([&] {
            return !manager->isRunning() && manager->imageDownloader()->currentDownloadCount() == 0;
        })) << "picture downloads still running";
        dispatch_sync(manager->imageCache()->ioQueue(), [] { });
        testing_support::settle(2);
    }

    // A picture the user might pick (an app resource).
    static UIImageRef picture(const std::string& file = "toutou@2x.png")
    {
        return UIImage::imageWithContentsOfFile((appResourceDir() / file).string());
    }

    // Pushes the screen (its view loads) without waiting for anything.
    template <class Screen>
    std::shared_ptr<Screen> push(std::shared_ptr<Screen> screen)
    {
        navigation->pushViewController(screen, false);
        screen->view();
        return screen;
    }
    template <class Screen>
    static void layoutTable(const std::shared_ptr<Screen>& screen)
    {
        screen->mytableView()->layoutIfNeeded();
    }
    std::size_t requestCount(const std::string& path) { return server().requests(path).size(); }
    bool waitForRequests(const std::string& path, std::size_t count)
    {
        return waitFor([&] { return requestCount(path) >= count; });
    }
    static std::shared_ptr<UIActionSheet> topSheet() { return std::dynamic_pointer_cast<UIActionSheet>(uikit::topAlert()); }
};

} // namespace app::test
