// The input toolbar and its items.
#include "ui/KBToolbar.h"

uikit::BarItemAppearance& KBBarButtonItem::appearance()
{
    static uikit::BarItemAppearance proxy;
    return proxy;
}

void KBBarButtonItem::load()
{
    appearance() = {};
}

uikit::BarAppearance& KBToolbar::appearance()
{
    static uikit::BarAppearance proxy;
    return proxy;
}

void KBToolbar::load()
{
    appearance() = {};
}

namespace {
// The classes' loading.
[[maybe_unused]] const bool kLoaded = (KBToolbar::load(), KBBarButtonItem::load(), true);
} // namespace

std::shared_ptr<KBBarButtonItem> KBBarButtonItem::initWithTitle(const std::string& title, UIBarButtonItemStyle style, Action action)
{
    auto item = std::make_shared<KBBarButtonItem>();
    item->setTitle(title);
    item->setStyle(style);
    item->setAction(std::move(action));
    return item;
}

std::shared_ptr<KBBarButtonItem> KBBarButtonItem::initWithImage(const UIImageRef& image, UIBarButtonItemStyle style, Action action)
{
    auto item = initWithTitle("", style, std::move(action));
    item->setImage(image);
    return item;
}

std::shared_ptr<KBBarButtonItem> KBBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem systemItem, Action action)
{
    // Take the platform's title and style for the system item.
    auto model = UIBarButtonItem::initWithBarButtonSystemItem(systemItem, {});
    auto item = initWithTitle(model->title(), model->style(), std::move(action));
    item->setSystemItem(systemItem);
    return item;
}

std::shared_ptr<KBTitleBarButtonItem> KBTitleBarButtonItem::initWithFrame(CGRect frame, std::optional<std::string> title)
{
    auto item = std::make_shared<KBTitleBarButtonItem>();
    item->titleView_ = UIView::create(frame);
    item->titleView_->setBackgroundColor(UIColor::clearColor());
    item->titleView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    item->titleLabel_ = UILabel::create(item->titleView_->bounds());
    item->titleLabel_->setTextColor(UIColor::lightGrayColor());
    item->titleLabel_->setBackgroundColor(UIColor::clearColor());
    item->titleLabel_->setTextAlignment(NSTextAlignmentCenter);
    item->titleLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    item->setTitle(std::move(title));
    item->setFont(UIFont::boldSystemFontOfSize(12));
    item->titleView_->addSubview(item->titleLabel_);
    item->setCustomView(item->titleView_);
    // A caption, not a button.
    item->setEnabled(false);
    return item;
}

void KBTitleBarButtonItem::setFont(const UIFont& font)
{
    font_ = font;
    titleLabel_->setFont(font);
}

void KBTitleBarButtonItem::setTitle(std::optional<std::string> title)
{
    title_ = std::move(title);
    UIBarButtonItem::setTitle(title_.value_or(""));
    titleLabel_->setText(title_.value_or(""));
}

KBToolbar::KBToolbar(CGRect frame)
    : UIToolbar(frame)
{
    sizeToFit();
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    setTranslucent(true);
    setTintColor(UIColor::blackColor());
}

CGSize KBToolbar::sizeThatFits(CGSize size) const
{
    CGSize fitted = UIToolbar::sizeThatFits(size);
    fitted.height = 44;
    return fitted;
}

void KBToolbar::setTintColor(std::optional<UIColor> color)
{
    UIToolbar::setTintColor(color);
    for (const auto& item : items())
        item->setTintColor(color);
}

void KBToolbar::setTitleFont(std::optional<UIFont> font)
{
    titleFont_ = std::move(font);
    if (!titleFont_)
        return;
    for (const auto& item : items()) {
        if (auto title = std::dynamic_pointer_cast<KBTitleBarButtonItem>(item))
            title->setFont(*titleFont_);
    }
}

void KBToolbar::setTitle(std::optional<std::string> title)
{
    title_ = std::move(title);
    for (const auto& item : items()) {
        if (auto titleItem = std::dynamic_pointer_cast<KBTitleBarButtonItem>(item))
            titleItem->setTitle(title_);
    }
}
