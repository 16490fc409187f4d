// Screens by name: the registry, "open" and "back", and the stand-in delegate's menu.
#include <gtest/gtest.h>

#include "host/QuillmarkAppDelegate.h"
#include "host/ScreenRegistry.h"
#include "host/tests/HostRun.h"
#include "platform/addressbook/ABTestSeams.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"

namespace {

using host_test::contains;

// A screen that shows its own name and counts how often it appeared.
class NamedScreen : public UIViewController {
public:
    explicit NamedScreen(std::string name)
        : name_(std::move(name))
    {
    }
    std::string className() const override { return "NamedScreen"; }
    void viewDidLoad() override
    {
        setTitle(name_);
        auto label = UILabel::create({ { 20, 100 }, { 280, 30 } });
        label->setText("This is " + name_);
        view()->addSubview(label);
    }
    void viewWillAppear(bool) override { ++appearances; }
    int appearances = 0;

private:
    std::string name_;
};

class HostScreens : public ::testing::Test {
protected:
    void SetUp() override
    {
        addressbook::resetTestSeams();
        host::clearScreens();
        host::registerScreen("first", [this] {
            first = std::make_shared<NamedScreen>("first");
            return first;
        });
        host::registerScreen("second", [] { return std::make_shared<NamedScreen>("second"); });
    }
    void TearDown() override
    {
        host::clearScreens();
        addressbook::resetTestSeams();
    }
    testing_support::VirtualTime time;
    testing_support::TempHome home;
    std::shared_ptr<NamedScreen> first;
};

TEST_F(HostScreens, RegistryListsNamesAndReplacesFactories)
{
    EXPECT_EQ(host::registeredScreens(), (std::vector<std::string> { "first", "second" }));
    EXPECT_EQ(host::makeScreen("third"), nullptr);
    host::registerScreen("second", [] { return nullptr; });
    EXPECT_EQ(host::makeScreen("second"), nullptr) << "a factory that makes nothing opens nothing";
    EXPECT_EQ(host::registeredScreens().size(), 2u);
}

TEST_F(HostScreens, OpenPushesAndBackPopsTheRootNavigation)
{
    auto run = host_test::runScript<host::QuillmarkAppDelegate>("open first\n"
                                                                "open second\n"
                                                                "tap title This is second\n"
                                                                "back\n"
                                                                "dump\n"
                                                                "back\n"
                                                                "back\n"
                                                                "open nowhere\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.output, "\"This is first\"")) << run.output;
    EXPECT_FALSE(contains(run.output, "\"This is second\"")) << "second was popped: " << run.output;
    EXPECT_TRUE(contains(run.output, "error: back: only the root screen is left")) << run.output;
    EXPECT_TRUE(contains(run.output, "error: open nowhere: no screen registered as \"nowhere\"")) << run.output;
    EXPECT_FALSE(contains(run.output, "error: tap title")) << "the opened screen's label is on screen";
    EXPECT_FALSE(contains(run.output, "error: back: \n"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->appearances, 2) << "pushed once, revealed once by the pop";

    auto navigation = std::dynamic_pointer_cast<UINavigationController>(
        UIApplication::sharedApplication()->keyWindow()->rootViewController());
    ASSERT_NE(navigation, nullptr);
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
    EXPECT_EQ(navigation->topViewController()->className(), "MenuScreen");
}

TEST_F(HostScreens, DelegateShowsAWhiteScreenSizedWindowWithAMenuOfScreens)
{
    auto run = host_test::runScript<host::QuillmarkAppDelegate>("tap title second\ndump\n");
    EXPECT_EQ(run.status, 0) << run.output;
    auto window = UIApplication::sharedApplication()->keyWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(CGRectEqualToRect(window->frame(), UIScreen::mainScreen()->bounds()));
    EXPECT_TRUE(contains(run.output, "\"This is second\"")) << "the menu button opened it: " << run.output;
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusAuthorized)
        << "access is asked for at launch and granted by the headless device";
}

TEST_F(HostScreens, OpenFailsWithoutANavigationRoot)
{
    auto window = UIApplication::sharedApplication()->keyWindow();
    UIApplication::sharedApplication()->setKeyWindow(nullptr);
    EXPECT_EQ(host::openScreen("first"), "the key window has no root navigation controller");
    EXPECT_EQ(host::closeTopScreen(), "the key window has no root navigation controller");
    UIApplication::sharedApplication()->setKeyWindow(window);
}

} // namespace
