// The toolbar that sits above the keyboard of a text field or text view, and the bar button
// items it is made of: buttons, and a grey caption (normally the input's placeholder).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIBars.h"
#include "platform/uikit/UILabel.h"

// A button of an input toolbar. Its class keeps an appearance proxy of its own, reset when the
// class loads, so that what the application sets on bar button items does not reach it.
class KBBarButtonItem : public UIBarButtonItem {
public:
    static uikit::BarItemAppearance& appearance();
    const uikit::BarItemAppearance& appearanceProxy() const override { return appearance(); }
    // Resets the class's appearance proxy; runs when the program loads.
    static void load();
    static std::shared_ptr<KBBarButtonItem> initWithTitle(const std::string& title, UIBarButtonItemStyle style, Action action);
    static std::shared_ptr<KBBarButtonItem> initWithImage(const UIImageRef& image, UIBarButtonItemStyle style, Action action);
    static std::shared_ptr<KBBarButtonItem> initWithBarButtonSystemItem(UIBarButtonSystemItem item, Action action);
    std::string className() const override { return "KBBarButtonItem"; }
};

// The caption of an input toolbar: a disabled item whose custom view holds a centred label.
class KBTitleBarButtonItem : public KBBarButtonItem {
public:
    static std::shared_ptr<KBTitleBarButtonItem> initWithFrame(CGRect frame, std::optional<std::string> title);
    std::string className() const override { return "KBTitleBarButtonItem"; }

    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title);
    const std::shared_ptr<UIView>& titleView() const { return titleView_; }
    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }

private:
    std::shared_ptr<UIView> titleView_;
    std::shared_ptr<UILabel> titleLabel_;
    UIFont font_ = UIFont::boldSystemFontOfSize(12);
    std::optional<std::string> title_;
};

// A 44-point toolbar that hands its tint, title and title font on to its items. Like its
// buttons, it keeps an appearance proxy of its own, reset when the class loads.
class KBToolbar : public UIToolbar {
public:
    static uikit::BarAppearance& appearance();
    const uikit::BarAppearance& appearanceProxy() const override { return appearance(); }
    // Resets the class's appearance proxy; runs when the program loads.
    static void load();
    explicit KBToolbar(CGRect frame = CGRectZero);
    static std::shared_ptr<KBToolbar> create(CGRect frame = CGRectZero) { return std::make_shared<KBToolbar>(frame); }
    std::string className() const override { return "KBToolbar"; }

    CGSize sizeThatFits(CGSize size) const override;
    void setTintColor(std::optional<UIColor> color) override;
    const std::optional<UIFont>& titleFont() const { return titleFont_; }
    void setTitleFont(std::optional<UIFont> font);
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title);
    // Buttons of the toolbar may play the keyboard click.
    bool enableInputClicksWhenVisible() const { return true; }

private:
    std::optional<UIFont> titleFont_;
    std::optional<std::string> title_;
};
