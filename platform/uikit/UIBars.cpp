// Bar items, navigation items, the navigation bar and the toolbar.
#include "platform/uikit/UIBars.h"

#include <algorithm>

#include "platform/uikit/SystemText.h"
#include "platform/uikit/UIScreen.h"

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithTitle(const std::string& title, UIBarButtonItemStyle style, Action action)
{
    auto item = std::make_shared<UIBarButtonItem>();
    item->title_ = title;
    item->style_ = style;
    item->action_ = std::move(action);
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithImage(const UIImageRef& image, UIBarButtonItemStyle style, Action action)
{
    auto item = initWithTitle("", style, std::move(action));
    item->image_ = image;
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem systemItem, Action action)
{
    std::string title;
    switch (systemItem) {
    case UIBarButtonSystemItemDone: title = uikit::systemText(uikit::SystemText::Done); break;
    case UIBarButtonSystemItemCancel: title = uikit::systemText(uikit::SystemText::Cancel); break;
    case UIBarButtonSystemItemEdit: title = uikit::systemText(uikit::SystemText::Edit); break;
    case UIBarButtonSystemItemSave: title = uikit::systemText(uikit::SystemText::Save); break;
    case UIBarButtonSystemItemAdd: title = "+"; break;
    default: break;
    }
    auto item = initWithTitle(title,
        systemItem == UIBarButtonSystemItemDone ? UIBarButtonItemStyleDone : UIBarButtonItemStylePlain, std::move(action));
    item->systemItem_ = systemItem;
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithCustomView(const std::shared_ptr<UIView>& view)
{
    auto item = std::make_shared<UIBarButtonItem>();
    item->customView_ = view;
    return item;
}

void UIBarButtonItem::setEnabled(bool enabled)
{
    enabled_ = enabled;
    if (button_)
        button_->setEnabled(enabled);
}

void UIBarButtonItem::performAction()
{
    if (enabled_ && action_)
        action_(sharedAs<UIBarButtonItem>());
}

std::shared_ptr<UIView> UIBarButtonItem::barView()
{
    if (customView_)
        return customView_;
    if (systemItem_ == UIBarButtonSystemItemFlexibleSpace || systemItem_ == UIBarButtonSystemItemFixedSpace)
        return nullptr;
    if (!button_) {
        button_ = UIButton::buttonWithType(UIButtonTypeSystem);
        std::weak_ptr<UIBarButtonItem> weak = sharedAs<UIBarButtonItem>();
        button_->addTarget(this, [weak](const std::shared_ptr<UIControl>&) {
            if (auto item = weak.lock())
                item->performAction();
        }, UIControlEventTouchUpInside);
    }
    button_->setTitle(title_, UIControlStateNormal);
    button_->setImage(image_, UIControlStateNormal);
    if (auto tint = tintColor())
        button_->setTintColor(tint);
    button_->setEnabled(enabled_);
    if (style_ == UIBarButtonItemStyleDone)
        button_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(15));
    CGSize size = button_->sizeThatFits(CGSizeZero);
    button_->setFrame({ button_->frame().origin, { width_ > 0 ? width_ : std::max(size.width + 8, 30.0), 30 } });
    return button_;
}

std::shared_ptr<UINavigationItem> UINavigationItem::create(const std::string& title)
{
    auto item = std::make_shared<UINavigationItem>();
    item->title_ = title;
    return item;
}

void UINavigationItem::setLeftBarButtonItem(const std::shared_ptr<UIBarButtonItem>& item, bool)
{
    left_.clear();
    if (item)
        left_.push_back(item);
    changed();
}

void UINavigationItem::setRightBarButtonItem(const std::shared_ptr<UIBarButtonItem>& item, bool)
{
    right_.clear();
    if (item)
        right_.push_back(item);
    changed();
}

void UINavigationItem::setHidesBackButton(bool hides, bool)
{
    hidesBack_ = hides;
    changed();
}

void UINavigationItem::changed()
{
    if (auto bar = bar_.lock())
        bar->itemsChanged();
}

uikit::BarAppearance& UINavigationBar::appearance()
{
    static uikit::BarAppearance proxy;
    return proxy;
}

UINavigationBar::UINavigationBar(CGRect frame)
    : UIView(frame)
{
}

void UINavigationBar::didMoveToWindow()
{
    if (window() && !ownTintColor() && appearance().tintColor)
        setTintColor(appearance().tintColor);
}

void UINavigationBar::pushNavigationItem(const std::shared_ptr<UINavigationItem>& item, bool)
{
    if (!item)
        return;
    items_.push_back(item);
    item->setBar(sharedAs<UINavigationBar>());
    itemsChanged();
}

void UINavigationBar::popNavigationItem(bool)
{
    if (items_.empty())
        return;
    items_.back()->setBar(nullptr);
    items_.pop_back();
    itemsChanged();
}

void UINavigationBar::setItems(std::vector<std::shared_ptr<UINavigationItem>> items, bool)
{
    for (auto& item : items_)
        item->setBar(nullptr);
    items_ = std::move(items);
    for (auto& item : items_)
        item->setBar(sharedAs<UINavigationBar>());
    itemsChanged();
}

UIColor UINavigationBar::barTintColor() const
{
    if (barTint_)
        return *barTint_;
    return appearance().barTintColor.value_or(UIColor::colorWithWhite(0.97, 1));
}

UIFont UINavigationBar::titleFont() const
{
    return titleFont_ ? *titleFont_ : appearance().titleFont.value_or(UIFont::boldSystemFontOfSize(17));
}

UIColor UINavigationBar::titleColor() const
{
    return titleColor_ ? *titleColor_ : appearance().titleColor.value_or(UIColor::blackColor());
}

void UINavigationBar::setTitleTextAttributes(std::optional<UIFont> font, std::optional<UIColor> color)
{
    titleFont_ = std::move(font);
    titleColor_ = std::move(color);
    itemsChanged();
}

bool UINavigationBar::isTranslucent() const
{
    return translucent_ ? *translucent_ : appearance().translucent.value_or(true);
}

UIImageRef UINavigationBar::backgroundImage() const
{
    return background_ ? background_ : appearance().backgroundImage;
}

void UINavigationBar::itemsChanged()
{
    setNeedsLayout();
    setNeedsDisplay();
}

void UINavigationBar::layoutSubviews()
{
    for (auto& view : shown_)
        view->removeFromSuperview();
    shown_.clear();
    auto top = topItem();
    if (!top)
        return;
    CGRect b = bounds();
    double left = 8, right = b.size.width - 8;
    auto place = [&](const std::shared_ptr<UIView>& view, bool atLeft) {
        CGSize s = view->frame().size;
        double y = (b.size.height - s.height) / 2;
        view->setFrame({ { atLeft ? left : right - s.width, y }, s });
        if (atLeft)
            left += s.width + 8;
        else
            right -= s.width + 8;
        addSubview(view);
        shown_.push_back(view);
    };
    if (!top->leftBarButtonItems().empty()) {
        for (auto& item : top->leftBarButtonItems())
            if (auto view = item->barView())
                place(view, true);
    } else if (auto back = backItem(); back && !top->hidesBackButton()) {
        if (!backButton_) {
            backButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
            std::weak_ptr<UINavigationBar> weak = sharedAs<UINavigationBar>();
            backButton_->addTarget(this, [weak](const std::shared_ptr<UIControl>&) {
                if (auto bar = weak.lock(); bar && bar->backAction_)
                    bar->backAction_();
            }, UIControlEventTouchUpInside);
        }
        std::string title = back->backBarButtonItem() ? back->backBarButtonItem()->title() : back->title();
        backButton_->setTitle(title.empty() ? uikit::systemText(uikit::SystemText::Back) : title, UIControlStateNormal);
        CGSize s = backButton_->sizeThatFits(CGSizeZero);
        backButton_->setFrame({ {}, { s.width + 8, 30 } });
        place(backButton_, true);
    }
    for (auto& item : top->rightBarButtonItems())
        if (auto view = item->barView())
            place(view, false);
    std::shared_ptr<UIView> title = top->titleView();
    if (!title && !top->title().empty()) {
        if (!titleLabel_)
            titleLabel_ = UILabel::create();
        titleLabel_->setText(top->title());
        titleLabel_->setFont(titleFont());
        titleLabel_->setTextColor(titleColor());
        titleLabel_->setTextAlignment(NSTextAlignmentCenter);
        titleLabel_->sizeToFit();
        title = titleLabel_;
    }
    if (!title)
        return;
    CGSize s = title->frame().size;
    double space = std::max(0.0, right - left);
    s.width = std::min(s.width, space);
    double x = std::clamp((b.size.width - s.width) / 2, left, std::max(left, right - s.width));
    title->setFrame({ { x, (b.size.height - s.height) / 2 }, s });
    addSubview(title);
    shown_.push_back(title);
}

void UINavigationBar::drawRect(CGRect)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    if (auto image = backgroundImage()) {
        image->drawInRect(bounds());
        return;
    }
    CGContextSetFillColorWithColor(context, barTintColor().CGColor());
    CGContextFillRect(context, bounds());
    CGContextSetGrayFillColor(context, 0.7, 1);
    CGContextFillRect(context, { { 0, bounds().size.height - 0.5 }, { bounds().size.width, 0.5 } });
}

uikit::BarItemAppearance& UIBarButtonItem::appearance()
{
    static uikit::BarItemAppearance proxy;
    return proxy;
}

uikit::BarAppearance& UIToolbar::appearance()
{
    static uikit::BarAppearance proxy;
    return proxy;
}

void UIToolbar::didMoveToWindow()
{
    if (window() && !ownTintColor() && appearanceProxy().tintColor)
        setTintColor(appearanceProxy().tintColor);
}

UIToolbar::UIToolbar(CGRect frame)
    : UIView(frame)
{
}

CGSize UIToolbar::sizeThatFits(CGSize size) const
{
    return { size.width > 0 ? size.width : UIScreen::mainScreen()->bounds().size.width, 44 };
}

void UIToolbar::setItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool)
{
    items_ = std::move(items);
    setNeedsLayout();
}

void UIToolbar::layoutSubviews()
{
    for (auto& view : shown_)
        view->removeFromSuperview();
    shown_.clear();
    CGRect b = bounds();
    double fixed = 0;
    int flexible = 0;
    std::vector<std::shared_ptr<UIView>> views;
    for (auto& item : items_) {
        auto view = item->barView();
        views.push_back(view);
        if (item->systemItem() == UIBarButtonSystemItemFlexibleSpace)
            ++flexible;
        else
            fixed += view ? view->frame().size.width : item->width();
    }
    double gap = 8;
    double spare = std::max(0.0, b.size.width - 2 * gap - fixed - gap * double(std::max<std::size_t>(items_.size(), 1) - 1));
    double x = gap;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        auto& item = items_[i];
        if (item->systemItem() == UIBarButtonSystemItemFlexibleSpace) {
            x += spare / flexible + gap;
            continue;
        }
        auto& view = views[i];
        if (!view) {
            x += item->width() + gap;
            continue;
        }
        CGSize s = view->frame().size;
        view->setFrame({ { x, (b.size.height - s.height) / 2 }, s });
        addSubview(view);
        shown_.push_back(view);
        x += s.width + gap;
    }
}

void UIToolbar::drawRect(CGRect)
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    if (auto image = appearanceProxy().backgroundImage) {
        image->drawInRect(bounds());
        return;
    }
    auto tint = barTintColor();
    UIColor fill = tint ? *tint : style_ == UIBarStyleDefault ? UIColor::colorWithWhite(0.97, 1) : UIColor::colorWithWhite(0.1, 1);
    CGContextSetFillColorWithColor(context, fill.CGColor());
    CGContextFillRect(context, bounds());
}
