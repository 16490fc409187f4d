// A fresh headless screen for the keyboard manager's tests: virtual time, a key window of the
// default screen (320 × 568) whose root controller's view is the screen, the simulated
// keyboard reset, and a manager of the test's own, switched on, without automatic toolbars (as
// the application runs it; toolbar tests switch them on).
#pragma once

#include <gtest/gtest.h>

#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAnimationLog.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "testing/RunLoopPump.h"
#include "testing/VirtualTime.h"
#include "ui/KBKeyboardManager.h"

namespace kbtest {

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        uikit::resetDeviceProfile();
        UIApplication::sharedApplication()->reset();
        uikit::Keyboard::shared()->reset();
        uikit::clearAnimationLog();
        window = UIWindow::create();
        controller = std::make_shared<UIViewController>();
        window->setRootViewController(controller);
        window->makeKeyAndVisible();
        screen = controller->view();
        manager = KBKeyboardManager::create();
        manager->setEnable(true);
        manager->setEnableAutoToolbar(false);
        // The shared manager runs its toolbar pass even while switched off; leave it as the
        // application does.
        KBKeyboardManager::sharedManager()->setEnableAutoToolbar(false);
    }
    void TearDown() override
    {
        window->endEditing(true);
        advance(1);
        manager.reset();
        uikit::Keyboard::shared()->reset();
        controller.reset();
        screen.reset();
        window.reset();
        UIApplication::sharedApplication()->reset();
    }
    void advance(double seconds)
    {
        time.advance(seconds);
        testing_support::settle(2);
    }
    std::shared_ptr<UITextField> addField(const std::shared_ptr<UIView>& parent, CGRect frame)
    {
        auto field = UITextField::create(frame);
        parent->addSubview(field);
        return field;
    }
    // The root view's origin relative to where it rested before editing.
    CGFloat rootY() const { return screen->frame().origin.y - restY; }

    testing_support::VirtualTime time;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIViewController> controller;
    std::shared_ptr<UIView> screen;
    std::shared_ptr<KBKeyboardManager> manager;
    CGFloat restY = 0;
};

} // namespace kbtest
