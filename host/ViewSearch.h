// Finding what a person would see: views by the text they show, the progress HUD's labels,
// and the alerts on screen.
#pragma once

#include <memory>
#include <string>

#include "platform/uikit/UIView.h"

namespace host {

// Not hidden (a window's own flag aside) and not fully transparent, up to the top view.
bool shownOnScreen(const std::shared_ptr<UIView>& view);
// The last view in painting order under `root` that is shown and shows `text`.
std::shared_ptr<UIView> findByTitle(const std::shared_ptr<UIView>& root, const std::string& text);
// A shown view showing `text` inside a progress HUD under `root`.
std::shared_ptr<UIView> findHudText(const std::shared_ptr<UIView>& root, const std::string& text);
// An alert or sheet is on screen; with a non-empty `text`, one whose title or message is it.
bool alertShowing(const std::string& text);

} // namespace host
