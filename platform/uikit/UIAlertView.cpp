// Alerts, action sheets and the registry of those on screen.
#include "platform/uikit/UIAlertView.h"

#include <algorithm>

#include "platform/graphics/Text.h"

namespace uikit {
namespace {
std::vector<std::shared_ptr<AlertBase>>& registry()
{
    static std::vector<std::shared_ptr<AlertBase>> shown;
    return shown;
}
} // namespace

NSInteger AlertBase::addButtonWithTitle(const std::string& title)
{
    buttons_.push_back(title);
    return static_cast<NSInteger>(buttons_.size()) - 1;
}

std::string AlertBase::buttonTitleAtIndex(NSInteger index) const
{
    if (index < 0 || index >= numberOfButtons())
        return "";
    return buttons_[static_cast<std::size_t>(index)];
}

NSInteger AlertBase::indexOfButtonWithTitle(const std::string& title) const
{
    auto it = std::find(buttons_.begin(), buttons_.end(), title);
    return it == buttons_.end() ? -1 : static_cast<NSInteger>(it - buttons_.begin());
}

void AlertBase::present()
{
    if (visible_)
        return;
    auto self = sharedAs<AlertBase>();
    notifyWillPresent();
    visible_ = true;
    registry().push_back(self);
    notifyDidPresent();
}

bool AlertBase::tapButtonAtIndex(NSInteger index)
{
    if (!visible_ || index < 0 || index >= numberOfButtons())
        return false;
    auto self = sharedAs<AlertBase>();
    notifyClicked(index);
    dismissWithClickedButtonIndex(index, true);
    return true;
}

void AlertBase::dismissWithClickedButtonIndex(NSInteger index, bool)
{
    if (!visible_)
        return;
    auto self = sharedAs<AlertBase>();
    notifyWillDismiss(index);
    visible_ = false;
    std::erase(registry(), self);
    notifyDidDismiss(index);
}

void AlertBase::cancelBySystem()
{
    if (!visible_)
        return;
    auto self = sharedAs<AlertBase>();
    notifyCancel();
    visible_ = false;
    std::erase(registry(), self);
}

std::vector<std::shared_ptr<AlertBase>> visibleAlerts()
{
    return registry();
}

std::shared_ptr<AlertBase> topAlert()
{
    return registry().empty() ? nullptr : registry().back();
}

void dismissAllAlerts(bool system)
{
    auto shown = registry();
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        if (system)
            (*it)->cancelBySystem();
        else
            (*it)->dismissWithClickedButtonIndex((*it)->cancelButtonIndex(), false);
    }
    registry().clear();
}

namespace {

struct AlertStyles {
    NSStringAttributes title, message, button;
    AlertStyles()
    {
        title.font = UIFont::boldSystemFontOfSize(17);
        title.alignment = NSTextAlignmentCenter;
        message.font = UIFont::systemFontOfSize(13);
        message.alignment = NSTextAlignmentCenter;
        button.font = UIFont::systemFontOfSize(17);
        button.alignment = NSTextAlignmentCenter;
        button.foregroundColor = systemTintColor();
    }
};

// Where the box, its texts and its buttons lie over a screen of `size`.
struct AlertLayout {
    CGRect box;
    CGRect title, message;
    std::vector<CGRect> buttons;
};

AlertLayout layoutAlert(const AlertBase& alert, CGSize size, const AlertStyles& styles)
{
    double width = alert.isSheet() ? size.width - 16 : 270;
    CGSize textArea { width - 32, 0 };
    double titleH = alert.title().empty() ? 0 : graphics::boundingRectWithSize(alert.title(), textArea, NSStringDrawingUsesLineFragmentOrigin, styles.title).size.height;
    double messageH = alert.message().empty() ? 0 : graphics::boundingRectWithSize(alert.message(), textArea, NSStringDrawingUsesLineFragmentOrigin, styles.message).size.height;
    double headerH = 20 + titleH + (messageH > 0 ? 4 + messageH : 0) + 20;
    double buttonH = 44;
    double n = static_cast<double>(alert.numberOfButtons());
    bool sideBySide = !alert.isSheet() && alert.numberOfButtons() == 2;
    double height = headerH + (sideBySide ? buttonH : buttonH * n);
    double x = (size.width - width) / 2;
    double y = alert.isSheet() ? size.height - height - 8 : (size.height - height) / 2;
    AlertLayout layout;
    layout.box = { { x, y }, { width, height } };
    layout.title = { { x + 16, y + 20 }, { width - 32, titleH } };
    layout.message = { { x + 16, y + 24 + titleH }, { width - 32, messageH } };
    for (NSInteger i = 0; i < alert.numberOfButtons(); ++i) {
        double bx = x, by = y + headerH + buttonH * double(i), bw = width;
        if (sideBySide) {
            bw = width / 2;
            bx = x + bw * double(i);
            by = y + headerH;
        }
        layout.buttons.push_back({ { bx, by }, { bw, buttonH } });
    }
    return layout;
}

} // namespace

void drawAlertOverlay(const CGContextRef& context, CGSize size)
{
    auto alert = topAlert();
    if (!alert || !context)
        return;
    CGContextSetGrayFillColor(context, 0, 0.4);
    CGContextFillRect(context, { {}, size });
    AlertStyles styles;
    AlertLayout layout = layoutAlert(*alert, size, styles);
    CGContextSetGrayFillColor(context, 0.97, 1);
    CGContextBeginPath(context);
    graphics::addRoundedRect(context, layout.box, 12);
    CGContextFillPath(context);
    graphics::drawTextInRect(context, alert->title(), layout.title, styles.title);
    graphics::drawTextInRect(context, alert->message(), layout.message, styles.message);
    CGContextSetGrayFillColor(context, 0.8, 1);
    for (NSInteger i = 0; i < alert->numberOfButtons(); ++i) {
        CGRect button = layout.buttons[static_cast<std::size_t>(i)];
        CGContextFillRect(context, { button.origin, { button.size.width, 0.5 } });
        NSStringAttributes style = styles.button;
        if (i == alert->cancelButtonIndex())
            style.font = UIFont::boldSystemFontOfSize(17);
        graphics::drawTextInRect(context, alert->buttonTitleAtIndex(i), { { button.origin.x, button.origin.y + 11 }, { button.size.width, 22 } }, style);
    }
}

NSInteger alertButtonIndexAtPoint(CGPoint point, CGSize size)
{
    auto alert = topAlert();
    if (!alert)
        return -1;
    AlertLayout layout = layoutAlert(*alert, size, AlertStyles {});
    for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
        if (CGRectContainsPoint(layout.buttons[i], point))
            return static_cast<NSInteger>(i);
    }
    return -1;
}

} // namespace uikit

std::shared_ptr<UIAlertView> UIAlertView::initWithTitle(const std::string& title, const std::string& message,
    std::weak_ptr<UIAlertViewDelegate> delegate, const std::string& cancelButtonTitle,
    const std::vector<std::string>& otherButtonTitles)
{
    auto alert = std::make_shared<UIAlertView>();
    alert->setTitle(title);
    alert->setMessage(message);
    alert->delegate_ = std::move(delegate);
    if (!cancelButtonTitle.empty())
        alert->cancelIndex_ = alert->addButtonWithTitle(cancelButtonTitle);
    for (auto& other : otherButtonTitles)
        alert->addButtonWithTitle(other);
    return alert;
}

NSInteger UIAlertView::firstOtherButtonIndex() const
{
    for (NSInteger i = 0; i < numberOfButtons(); ++i) {
        if (i != cancelButtonIndex())
            return i;
    }
    return -1;
}

std::shared_ptr<UITextField> UIAlertView::textFieldAtIndex(NSInteger index)
{
    std::size_t count = style_ == UIAlertViewStyleDefault ? 0 : style_ == UIAlertViewStyleLoginAndPasswordInput ? 2 : 1;
    while (fields_.size() < count) {
        auto field = UITextField::create({ { 0, 0 }, { 238, 25 } });
        field->setSecureTextEntry(style_ == UIAlertViewStyleSecureTextInput || fields_.size() == 1);
        fields_.push_back(field);
    }
    if (index < 0 || static_cast<std::size_t>(index) >= count)
        return nullptr;
    return fields_[static_cast<std::size_t>(index)];
}

#define ALERT_DELEGATE_CALL(call)                                 \
    do {                                                          \
        if (auto d = delegate_.lock())                            \
            d->call;                                              \
    } while (0)

void UIAlertView::notifyWillPresent() { ALERT_DELEGATE_CALL(willPresentAlertView(sharedAs<UIAlertView>())); }
void UIAlertView::notifyDidPresent() { ALERT_DELEGATE_CALL(didPresentAlertView(sharedAs<UIAlertView>())); }
void UIAlertView::notifyClicked(NSInteger i) { ALERT_DELEGATE_CALL(alertViewClickedButtonAtIndex(sharedAs<UIAlertView>(), i)); }
void UIAlertView::notifyWillDismiss(NSInteger i) { ALERT_DELEGATE_CALL(alertViewWillDismissWithButtonIndex(sharedAs<UIAlertView>(), i)); }
void UIAlertView::notifyDidDismiss(NSInteger i) { ALERT_DELEGATE_CALL(alertViewDidDismissWithButtonIndex(sharedAs<UIAlertView>(), i)); }
void UIAlertView::notifyCancel() { ALERT_DELEGATE_CALL(alertViewCancel(sharedAs<UIAlertView>())); }

std::shared_ptr<UIActionSheet> UIActionSheet::initWithTitle(const std::string& title, std::weak_ptr<UIActionSheetDelegate> delegate,
    const std::string& cancelButtonTitle, const std::string& destructiveButtonTitle,
    const std::vector<std::string>& otherButtonTitles)
{
    auto sheet = std::make_shared<UIActionSheet>();
    sheet->setTitle(title);
    sheet->delegate_ = std::move(delegate);
    if (!destructiveButtonTitle.empty())
        sheet->destructiveIndex_ = sheet->addButtonWithTitle(destructiveButtonTitle);
    for (auto& other : otherButtonTitles)
        sheet->addButtonWithTitle(other);
    if (!cancelButtonTitle.empty())
        sheet->cancelIndex_ = sheet->addButtonWithTitle(cancelButtonTitle);
    return sheet;
}

NSInteger UIActionSheet::firstOtherButtonIndex() const
{
    for (NSInteger i = 0; i < numberOfButtons(); ++i) {
        if (i != cancelButtonIndex() && i != destructiveIndex_)
            return i;
    }
    return -1;
}

void UIActionSheet::showInView(const std::shared_ptr<UIView>& view)
{
    shownIn_ = view;
    present();
}

void UIActionSheet::notifyWillPresent() { ALERT_DELEGATE_CALL(willPresentActionSheet(sharedAs<UIActionSheet>())); }
void UIActionSheet::notifyDidPresent() { ALERT_DELEGATE_CALL(didPresentActionSheet(sharedAs<UIActionSheet>())); }
void UIActionSheet::notifyClicked(NSInteger i) { ALERT_DELEGATE_CALL(actionSheetClickedButtonAtIndex(sharedAs<UIActionSheet>(), i)); }
void UIActionSheet::notifyWillDismiss(NSInteger i) { ALERT_DELEGATE_CALL(actionSheetWillDismissWithButtonIndex(sharedAs<UIActionSheet>(), i)); }
void UIActionSheet::notifyDidDismiss(NSInteger i) { ALERT_DELEGATE_CALL(actionSheetDidDismissWithButtonIndex(sharedAs<UIActionSheet>(), i)); }
void UIActionSheet::notifyCancel() { ALERT_DELEGATE_CALL(actionSheetCancel(sharedAs<UIActionSheet>())); }
