// The shared edit menu (its target rectangle and visibility are recorded) and the general
// pasteboard.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/UIImage.h"
#include "platform/uikit/UIView.h"

class UIMenuItem final : public NSObject {
public:
    UIMenuItem(std::string title, std::string action) : title(std::move(title)), action(std::move(action)) { }
    std::string className() const override { return "UIMenuItem"; }
    std::string title;
    std::string action; // the selector name the first responder is asked about
};

class UIMenuController final : public NSObject {
public:
    static std::shared_ptr<UIMenuController> sharedMenuController();
    std::string className() const override { return "UIMenuController"; }
    void setTargetRect(CGRect rect, const std::shared_ptr<UIView>& view);
    CGRect targetRect() const { return targetRect_; }
    std::shared_ptr<UIView> targetView() const { return targetView_.lock(); }
    bool isMenuVisible() const { return visible_; }
    void setMenuVisible(bool visible, bool animated = false);
    const std::vector<std::shared_ptr<UIMenuItem>>& menuItems() const { return items_; }
    void setMenuItems(std::vector<std::shared_ptr<UIMenuItem>> items) { items_ = std::move(items); }
    void update() { }
    // The person taps a command of the menu on screen by its action ("copy:"): the key window's
    // first responder performs it when it can, and the menu hides. False, doing nothing, when
    // the menu is hidden or the first responder cannot perform the action.
    bool performAction(const std::string& action);
    // How many times the menu was shown (for tests).
    int showCount() const { return shows_; }
    void reset();

private:
    CGRect targetRect_ = CGRectZero;
    std::weak_ptr<UIView> targetView_;
    bool visible_ = false;
    int shows_ = 0;
    std::vector<std::shared_ptr<UIMenuItem>> items_;
};

class UIPasteboard final : public NSObject {
public:
    static std::shared_ptr<UIPasteboard> generalPasteboard();
    std::string className() const override { return "UIPasteboard"; }
    // The first string, or none.
    std::optional<std::string> string() const;
    void setString(const std::string& text) { strings_ = { text }; image_.reset(); }
    const std::vector<std::string>& strings() const { return strings_; }
    void setStrings(std::vector<std::string> strings) { strings_ = std::move(strings); }
    UIImageRef image() const { return image_; }
    void setImage(const UIImageRef& image) { image_ = image; strings_.clear(); }
    void clear() { strings_.clear(); image_.reset(); }

private:
    std::vector<std::string> strings_;
    UIImageRef image_;
};
