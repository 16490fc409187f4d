// Fixtures for the app's tests: a fresh app home with the log captured (LoggedTest); our data
// server (one per test program) on ephemeral ports with the app's roots pointed at it, the test's
// thread being the main thread (ServerTest); and a key window whose navigation controller starts
// at a plain root, on virtual time so that HUD messages stay until the test moves the clock
// (WindowTest). Also the app's bundle resources and the texts of HUDs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/NSLog.h"
#include "platform/graphics/UIImage.h"
#include "app/YZXNoBackControlller.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "testing/RunLoopPump.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"
#include "tools/dataserver/DataServer.h"
#include "ui/PGProgressHUD.h"

namespace app::test {

// One data server for the whole test program (starting one takes a while): started on first use,
// stopped by a test environment once the tests are over, before static objects go, so that no
// server thread outlives them.
inline std::unique_ptr<dataserver::DataServer>& sharedServerSlot()
{
    static std::unique_ptr<dataserver::DataServer> server;
    return server;
}

class SharedServerEnvironment : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (sharedServerSlot())
            sharedServerSlot()->stop();
    }
};

inline ::testing::Environment* const kSharedServerEnvironment
    = ::testing::AddGlobalTestEnvironment(new SharedServerEnvironment);

inline dataserver::DataServer& sharedServer()
{
    if (!sharedServerSlot()) {
        dataserver::DataServerOptions options;
        options.log = [](const std::string&) { };
        sharedServerSlot() = std::make_unique<dataserver::DataServer>(options);
        sharedServerSlot()->start();
    }
    return *sharedServerSlot();
}

// The app's bundle resources in the source tree (QM_SOURCE_DIR, else the tree the test was
// built from, when its target says so), and named images read from there.
#ifndef QM_DEFAULT_SOURCE_DIR
#define QM_DEFAULT_SOURCE_DIR "."
#endif
inline std::filesystem::path appResourceDir()
{
    const char* source = std::getenv("QM_SOURCE_DIR");
    return std::filesystem::path(source && *source ? source : QM_DEFAULT_SOURCE_DIR) / "app" / "resources";
}
inline void useAppResources()
{
    graphics::setResourceResolver([](const std::string& relative) {
        auto path = appResourceDir() / relative;
        return std::filesystem::exists(path) ? path.string() : std::string();
    });
}

// The text of the newest HUD on the view ("" when none).
inline std::string lastHud(const std::shared_ptr<UIView>& view)
{
    auto huds = PGProgressHUD::allHUDsForView(view);
    return huds.empty() ? std::string() : huds.back()->labelText();
}

class LoggedTest : public ::testing::Test {
protected:
    LoggedTest()
    {
        foundation::setLogSink([this](const std::string& text) {
            std::lock_guard lock(logMutex_);
            logs_.push_back(text);
        });
    }
    ~LoggedTest() override { foundation::setLogSink({}); }

    bool logged(const std::string& text)
    {
        std::lock_guard lock(logMutex_);
        return std::find(logs_.begin(), logs_.end(), text) != logs_.end();
    }
    bool loggedContaining(const std::string& text)
    {
        std::lock_guard lock(logMutex_);
        return std::any_of(logs_.begin(), logs_.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }
    std::size_t logCount()
    {
        std::lock_guard lock(logMutex_);
        return logs_.size();
    }
    void clearLog()
    {
        std::lock_guard lock(logMutex_);
        logs_.clear();
    }

    testing_support::TempHome home_;

private:
    std::mutex logMutex_;
    std::vector<std::string> logs_;
};

class ServerTest : public LoggedTest {
protected:
    ServerTest()
    {
        threading::becomeMainThread();
        server().reset();
        ::setenv("QUILLMARK_DATA_ROOT", server().dataRoot().c_str(), 1);
        ::setenv("QUILLMARK_ACCOUNT_ROOT", server().accountRoot().c_str(), 1);
    }
    ~ServerTest() override
    {
        testing_support::settle(2);
        ::unsetenv("QUILLMARK_DATA_ROOT");
        ::unsetenv("QUILLMARK_ACCOUNT_ROOT");
        server().reset();
    }

    static dataserver::DataServer& server() { return sharedServer(); }
    static bool waitFor(const std::function<bool()>& predicate, double seconds = 10)
    {
        return testing_support::runUntil(predicate, seconds);
    }
    bool waitForHud(const std::shared_ptr<UIView>& view, const std::string& text)
    {
        return waitFor([&] { return lastHud(view) == text; });
    }
};

class WindowTest : public ServerTest {
protected:
    WindowTest()
    {
        uikit::resetDeviceProfile();
        UIApplication::sharedApplication()->reset();
        window = UIWindow::create();
        navigation = UINavigationController::initWithRootViewController(root);
        window->setRootViewController(navigation);
        window->makeKeyAndVisible();
    }
    ~WindowTest() override
    {
        uikit::dismissAllAlerts(false);
        time.advance(5);
        testing_support::settle(2);
        window.reset();
        navigation.reset();
        UIApplication::sharedApplication()->reset();
    }

    testing_support::VirtualTime time;
    std::shared_ptr<YZXNoBackControlller> root = std::make_shared<YZXNoBackControlller>();
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UINavigationController> navigation;
};

} // namespace app::test
