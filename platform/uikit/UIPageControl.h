// UIPageControl: a row of dots, one per page, the current one stressed. A tap on the control's
// left half goes back a page, on its right half forward a page, and sends value-changed. With
// hidesForSinglePage and a single page the control shows nothing and takes no taps.
#pragma once

#include <optional>

#include "platform/foundation/Value.h"
#include "platform/uikit/UIControl.h"

class UIPageControl : public UIControl {
public:
    explicit UIPageControl(CGRect frame = CGRectZero);
    static std::shared_ptr<UIPageControl> create(CGRect frame = CGRectZero) { return std::make_shared<UIPageControl>(frame); }
    std::string className() const override { return "UIPageControl"; }

    NSInteger numberOfPages() const { return pages_; }
    // Negative counts are 0; the current page is kept below the count.
    void setNumberOfPages(NSInteger pages);
    NSInteger currentPage() const { return current_; }
    // Kept within 0 ... numberOfPages - 1.
    void setCurrentPage(NSInteger page);
    bool hidesForSinglePage() const { return hidesForSinglePage_; }
    void setHidesForSinglePage(bool hides);
    // When set, a tap changes currentPage but the dots show the old page until
    // updateCurrentPageDisplay.
    bool defersCurrentPageDisplay() const { return defers_; }
    void setDefersCurrentPageDisplay(bool defers) { defers_ = defers; }
    void updateCurrentPageDisplay();
    // The page the dots show.
    NSInteger displayedPage() const { return displayed_; }

    // Unset: white for the current page, translucent white for the others.
    const std::optional<UIColor>& pageIndicatorTintColor() const { return pageTint_; }
    void setPageIndicatorTintColor(std::optional<UIColor> color);
    const std::optional<UIColor>& currentPageIndicatorTintColor() const { return currentTint_; }
    void setCurrentPageIndicatorTintColor(std::optional<UIColor> color);
    // The colour the dot of a page is drawn in.
    UIColor dotColorForPage(NSInteger page) const;

    // The size the dots of `pages` pages need: 7-point dots 9 points apart, 37 points high.
    CGSize sizeForNumberOfPages(NSInteger pages) const;
    CGSize sizeThatFits(CGSize size) const override;
    // The dot of a page, in the control's bounds space (centred row).
    CGRect rectForDotAtPage(NSInteger page) const;
    // True while the control shows nothing because of hidesForSinglePage.
    bool isHiddenForSinglePage() const { return hidesForSinglePage_ && pages_ == 1; }

    // Key-value setting of the dot images ("_pageImage", "_currentPageImage"): kept, not drawn.
    void setValueForKey(const std::string& key, const Value& value);
    Value valueForKey(const std::string& key) const;

    bool pointInside(CGPoint point) const override;
    void handleTap(CGPoint point) override;
    void drawRect(CGRect rect) override;

private:
    NSInteger pages_ = 0;
    NSInteger current_ = 0;
    NSInteger displayed_ = 0;
    bool hidesForSinglePage_ = false;
    bool defers_ = false;
    std::optional<UIColor> pageTint_;
    std::optional<UIColor> currentTint_;
    Value pageImage_;
    Value currentPageImage_;
};
