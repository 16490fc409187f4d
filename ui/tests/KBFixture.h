// The keyboard manager's tests: the key window's root controller's view is the screen, the
// simulated keyboard is reset, and a manager of the test's own is switched on, without
// automatic toolbars (as the application runs it; toolbar tests switch them on).
#pragma once

#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "ui/KBKeyboardManager.h"
#include "ui/tests/ToolkitTest.h"

namespace kbtest {

class KeyboardTest : public uitest::ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        uikit::Keyboard::shared()->reset();
        controller = std::make_shared<UIViewController>();
        window->setRootViewController(controller);
        screen = controller->view();
        restY = screen->frame().origin.y;
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
        ToolkitTest::TearDown();
    }
    std::shared_ptr<UITextField> addField(const std::shared_ptr<UIView>& parent, CGRect frame)
    {
        auto field = UITextField::create(frame);
        parent->addSubview(field);
        return field;
    }
    // The root view's origin relative to where it rested before editing.
    CGFloat rootY() const { return screen->frame().origin.y - restY; }

    std::shared_ptr<UIViewController> controller;
    std::shared_ptr<UIView> screen;
    std::shared_ptr<KBKeyboardManager> manager;
    CGFloat restY = 0;
};

} // namespace kbtest
