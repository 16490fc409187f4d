// Bars and their items: UIBarButtonItem, UINavigationItem, UINavigationBar and UIToolbar.
// Bars and items have appearance proxies: what was set there last applies to every bar or item
// that does not set its own. A subclass may keep a proxy of its own (appearanceProxy), which
// then stands in for its base class's. Bars lay their items out as subviews; items without a
// custom view get a button, so taps reach the item's action.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/graphics/Text.h"
#include "platform/uikit/UIButton.h"

class UIBarButtonItem;
class UINavigationBar;

enum UIBarButtonItemStyle : int { UIBarButtonItemStylePlain = 0, UIBarButtonItemStyleBordered = 1, UIBarButtonItemStyleDone = 2 };
enum UIBarButtonSystemItem : int {
    UIBarButtonSystemItemDone = 0,
    UIBarButtonSystemItemCancel = 1,
    UIBarButtonSystemItemEdit = 2,
    UIBarButtonSystemItemSave = 3,
    UIBarButtonSystemItemAdd = 4,
    UIBarButtonSystemItemFlexibleSpace = 5,
    UIBarButtonSystemItemFixedSpace = 6,
};
enum UIBarStyle : int { UIBarStyleDefault = 0, UIBarStyleBlack = 1, UIBarStyleBlackTranslucent = 2 };

namespace uikit {
// What a bar button item appearance proxy holds; unset fields leave the item's defaults.
struct BarItemAppearance {
    std::optional<UIColor> tintColor;
};
} // namespace uikit

class UIBarButtonItem : public NSObject {
public:
    // The process-wide proxy of this class and of subclasses without one of their own.
    static uikit::BarItemAppearance& appearance();
    virtual const uikit::BarItemAppearance& appearanceProxy() const { return appearance(); }

    using Action = std::function<void(const std::shared_ptr<UIBarButtonItem>&)>;
    static std::shared_ptr<UIBarButtonItem> initWithTitle(const std::string& title, UIBarButtonItemStyle style, Action action);
    static std::shared_ptr<UIBarButtonItem> initWithImage(const UIImageRef& image, UIBarButtonItemStyle style, Action action);
    static std::shared_ptr<UIBarButtonItem> initWithBarButtonSystemItem(UIBarButtonSystemItem item, Action action);
    static std::shared_ptr<UIBarButtonItem> initWithCustomView(const std::shared_ptr<UIView>& view);
    std::string className() const override { return "UIBarButtonItem"; }

    const std::string& title() const { return title_; }
    void setTitle(const std::string& title) { title_ = title; }
    const UIImageRef& image() const { return image_; }
    void setImage(const UIImageRef& image) { image_ = image; }
    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle style) { style_ = style; }
    std::optional<UIBarButtonSystemItem> systemItem() const { return systemItem_; }
    std::shared_ptr<UIView> customView() const { return customView_; }
    void setCustomView(const std::shared_ptr<UIView>& view) { customView_ = view; }
    CGFloat width() const { return width_; }
    void setWidth(CGFloat width) { width_ = width; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    // The item's own tint, else its appearance proxy's.
    std::optional<UIColor> tintColor() const { return tint_ ? tint_ : appearanceProxy().tintColor; }
    void setTintColor(std::optional<UIColor> color) { tint_ = std::move(color); }
    NSInteger tag() const { return tag_; }
    void setTag(NSInteger tag) { tag_ = tag; }
    void setAction(Action action) { action_ = std::move(action); }
    // What a tap on the item does.
    void performAction();
    // The view a bar shows for the item: its custom view, or a button made once.
    std::shared_ptr<UIView> barView();

protected:
    // For subclasses made as one of the system items.
    void setSystemItem(UIBarButtonSystemItem item) { systemItem_ = item; }

private:
    std::string title_;
    UIImageRef image_;
    UIBarButtonItemStyle style_ = UIBarButtonItemStylePlain;
    std::optional<UIBarButtonSystemItem> systemItem_;
    std::shared_ptr<UIView> customView_;
    std::shared_ptr<UIButton> button_;
    CGFloat width_ = 0;
    bool enabled_ = true;
    std::optional<UIColor> tint_;
    NSInteger tag_ = 0;
    Action action_;
};

class UINavigationItem final : public NSObject {
public:
    static std::shared_ptr<UINavigationItem> create(const std::string& title = "");
    std::string className() const override { return "UINavigationItem"; }

    const std::string& title() const { return title_; }
    void setTitle(const std::string& title) { title_ = title; changed(); }
    std::shared_ptr<UIView> titleView() const { return titleView_; }
    void setTitleView(const std::shared_ptr<UIView>& view) { titleView_ = view; changed(); }
    std::shared_ptr<UIBarButtonItem> leftBarButtonItem() const { return left_.empty() ? nullptr : left_.front(); }
    void setLeftBarButtonItem(const std::shared_ptr<UIBarButtonItem>& item, bool animated = false);
    const std::vector<std::shared_ptr<UIBarButtonItem>>& leftBarButtonItems() const { return left_; }
    void setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items) { left_ = std::move(items); changed(); }
    std::shared_ptr<UIBarButtonItem> rightBarButtonItem() const { return right_.empty() ? nullptr : right_.front(); }
    void setRightBarButtonItem(const std::shared_ptr<UIBarButtonItem>& item, bool animated = false);
    const std::vector<std::shared_ptr<UIBarButtonItem>>& rightBarButtonItems() const { return right_; }
    void setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items) { right_ = std::move(items); changed(); }
    std::shared_ptr<UIBarButtonItem> backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(const std::shared_ptr<UIBarButtonItem>& item) { back_ = item; changed(); }
    bool hidesBackButton() const { return hidesBack_; }
    void setHidesBackButton(bool hides, bool animated = false);

    // The bar showing the item, told of changes.
    void setBar(const std::shared_ptr<UINavigationBar>& bar) { bar_ = bar; }

private:
    void changed();
    std::string title_;
    std::shared_ptr<UIView> titleView_;
    std::vector<std::shared_ptr<UIBarButtonItem>> left_;
    std::vector<std::shared_ptr<UIBarButtonItem>> right_;
    std::shared_ptr<UIBarButtonItem> back_;
    bool hidesBack_ = false;
    std::weak_ptr<UINavigationBar> bar_;
};

namespace uikit {
// What the bar appearance proxy holds; unset fields leave the bar's defaults.
struct BarAppearance {
    std::optional<UIColor> barTintColor;
    std::optional<UIColor> tintColor;
    std::optional<UIFont> titleFont;
    std::optional<UIColor> titleColor;
    UIImageRef backgroundImage;
    std::optional<bool> translucent;
};
}

class UINavigationBar final : public UIView {
public:
    explicit UINavigationBar(CGRect frame = CGRectZero);
    static std::shared_ptr<UINavigationBar> create(CGRect frame = CGRectZero) { return std::make_shared<UINavigationBar>(frame); }
    std::string className() const override { return "UINavigationBar"; }
    // The process-wide appearance proxy.
    static uikit::BarAppearance& appearance();

    const std::vector<std::shared_ptr<UINavigationItem>>& items() const { return items_; }
    std::shared_ptr<UINavigationItem> topItem() const { return items_.empty() ? nullptr : items_.back(); }
    std::shared_ptr<UINavigationItem> backItem() const { return items_.size() < 2 ? nullptr : items_[items_.size() - 2]; }
    void pushNavigationItem(const std::shared_ptr<UINavigationItem>& item, bool animated);
    void popNavigationItem(bool animated);
    void setItems(std::vector<std::shared_ptr<UINavigationItem>> items, bool animated);

    UIColor barTintColor() const;
    void setBarTintColor(std::optional<UIColor> color) { barTint_ = std::move(color); setNeedsDisplay(); }
    UIFont titleFont() const;
    UIColor titleColor() const;
    void setTitleTextAttributes(std::optional<UIFont> font, std::optional<UIColor> color);
    bool isTranslucent() const;
    void setTranslucent(bool translucent) { translucent_ = translucent; }
    UIBarStyle barStyle() const { return style_; }
    void setBarStyle(UIBarStyle style) { style_ = style; }
    UIImageRef backgroundImage() const;
    void setBackgroundImage(const UIImageRef& image) { background_ = image; setNeedsDisplay(); }
    // What the back button does (the navigation controller pops).
    void setBackAction(std::function<void()> action) { backAction_ = std::move(action); }

    void itemsChanged();
    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    CGSize sizeThatFits(CGSize size) const override { return { size.width, 44 }; }
    // A bar entering a window without a tint of its own takes the appearance's.
    void didMoveToWindow() override;

private:
    std::vector<std::shared_ptr<UINavigationItem>> items_;
    std::vector<std::shared_ptr<UIView>> shown_;
    std::shared_ptr<UIButton> backButton_;
    std::shared_ptr<UILabel> titleLabel_;
    std::optional<UIColor> barTint_;
    std::optional<UIFont> titleFont_;
    std::optional<UIColor> titleColor_;
    std::optional<bool> translucent_;
    UIBarStyle style_ = UIBarStyleDefault;
    UIImageRef background_;
    std::function<void()> backAction_;
};

class UIToolbar : public UIView {
public:
    explicit UIToolbar(CGRect frame = CGRectZero);
    static std::shared_ptr<UIToolbar> create(CGRect frame = CGRectZero) { return std::make_shared<UIToolbar>(frame); }
    std::string className() const override { return "UIToolbar"; }
    // The process-wide proxy of this class and of subclasses without one of their own (bar
    // tint, tint and background image are read from it).
    static uikit::BarAppearance& appearance();
    virtual const uikit::BarAppearance& appearanceProxy() const { return appearance(); }

    const std::vector<std::shared_ptr<UIBarButtonItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated = false);
    UIBarStyle barStyle() const { return style_; }
    void setBarStyle(UIBarStyle style) { style_ = style; setNeedsDisplay(); }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent) { translucent_ = translucent; }
    // The toolbar's own bar tint, else its appearance proxy's.
    std::optional<UIColor> barTintColor() const { return barTint_ ? barTint_ : appearanceProxy().barTintColor; }
    void setBarTintColor(std::optional<UIColor> color) { barTint_ = std::move(color); setNeedsDisplay(); }

    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    // A toolbar entering a window without a tint of its own takes its proxy's.
    void didMoveToWindow() override;
    // 44 high; as wide as asked, or as the screen when asked for no width (a new toolbar).
    CGSize sizeThatFits(CGSize size) const override;

private:
    std::vector<std::shared_ptr<UIBarButtonItem>> items_;
    std::vector<std::shared_ptr<UIView>> shown_;
    UIBarStyle style_ = UIBarStyleDefault;
    bool translucent_ = true;
    std::optional<UIColor> barTint_;
};
