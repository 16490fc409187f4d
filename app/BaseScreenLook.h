// What the two base screens (with and without a back button) share: the title label, the
// process-wide bar appearance and the extended-layout edges, given the look they differ in.
#pragma once

#include <functional>
#include <memory>

#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIViewController.h"

namespace app {

struct BaseScreenLook {
    bool restrictLayoutFrom7; // otherwise when older than 8
    UIColor appearanceTitleColor;
    bool largeTitleFont;
};

// Bar items white and the bar title in the look's colour, for every navigation bar.
void applyBarAppearance(const BaseScreenLook& look);
// White background, the layout edges, the bar set-up (`setNav`, the screen's own, so a
// subclass's version is the one used) and the title label (returned, and set as the
// navigation item's title view).
std::shared_ptr<UILabel> setUpBaseScreen(
    UIViewController& screen, const BaseScreenLook& look, const std::function<void()>& setNav);

} // namespace app
