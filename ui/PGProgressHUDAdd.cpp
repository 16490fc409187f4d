// The application's short messages: a text with a success or error icon that hides itself,
// and a text under the spinner over a dimmed view that the caller takes away.
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIWindow.h"
#include "ui/BundleImage.h"
#include "ui/PGProgressHUD.h"

namespace {

std::shared_ptr<UIView> viewOrKeyWindow(const std::shared_ptr<UIView>& view)
{
    if (view)
        return view;
    return UIApplication::sharedApplication()->keyWindow();
}

} // namespace

void PGProgressHUD::show(const std::string& text, const std::string& icon, const std::shared_ptr<UIView>& view)
{
    auto hud = showHUDAddedTo(viewOrKeyWindow(view), true);
    hud->setLabelText(text);
    auto image = ui::bundleImageNamed("PGProgressHUD.bundle/" + icon);
    hud->setCustomView(UIImageView::withImage(image));
    hud->setMode(PGProgressHUDModeCustomView);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hideAfterDelay(true, 0.7);
}

void PGProgressHUD::showError(const std::string& text, const std::shared_ptr<UIView>& view)
{
    show(text, "error.png", view);
}

void PGProgressHUD::showSuccess(const std::string& text, const std::shared_ptr<UIView>& view)
{
    show(text, "success.png", view);
}

std::shared_ptr<PGProgressHUD> PGProgressHUD::showMessag(const std::string& text, const std::shared_ptr<UIView>& view)
{
    auto hud = showHUDAddedTo(viewOrKeyWindow(view), true);
    hud->setLabelText(text);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->setDimBackground(true);
    return hud;
}
