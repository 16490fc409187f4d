// View searches over the key window's tree.
#include "host/ViewSearch.h"

#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIWindow.h"

namespace host {
namespace {

bool insideHud(const std::shared_ptr<UIView>& view)
{
    for (auto v = view; v; v = v->superview()) {
        if (v->className() == "PGProgressHUD")
            return true;
    }
    return false;
}

} // namespace

bool shownOnScreen(const std::shared_ptr<UIView>& view)
{
    for (auto v = view; v; v = v->superview()) {
        if (v->isHidden() && !std::dynamic_pointer_cast<UIWindow>(v))
            return false;
        if (v->alpha() < 0.01)
            return false;
    }
    return true;
}

std::shared_ptr<UIView> findByTitle(const std::shared_ptr<UIView>& root, const std::string& text)
{
    std::shared_ptr<UIView> found;
    if (root->dumpText() == text && shownOnScreen(root))
        found = root;
    for (auto& sub : root->subviews()) {
        if (auto inner = findByTitle(sub, text))
            found = inner;
    }
    return found;
}

std::shared_ptr<UIView> findHudText(const std::shared_ptr<UIView>& root, const std::string& text)
{
    if (root->dumpText() == text && shownOnScreen(root) && insideHud(root))
        return root;
    for (auto& sub : root->subviews()) {
        if (auto inner = findHudText(sub, text))
            return inner;
    }
    return nullptr;
}

bool alertShowing(const std::string& text)
{
    for (const auto& alert : uikit::visibleAlerts()) {
        if (text.empty() || alert->title() == text || alert->message() == text)
            return true;
    }
    return false;
}

} // namespace host
