// PZRefreshFooterView: the refresh view below a scroll view's content. It follows the content
// size; pulling up past it and letting go starts loading more, and when new rows arrived the
// end of the load leaves them in view.
#pragma once

#include "ui/PZRefreshBaseView.h"

class PZRefreshFooterView : public PZRefreshBaseView {
public:
    static std::shared_ptr<PZRefreshFooterView> footer();
    static std::shared_ptr<PZRefreshFooterView> initWithFrame(CGRect frame);

    explicit PZRefreshFooterView(CGRect frame);
    ~PZRefreshFooterView() override;
    std::string className() const override { return "PZRefreshFooterView"; }

    // The number of rows or items when the last load started.
    std::int32_t lastRefreshCount() const { return lastRefreshCount_; }
    void setLastRefreshCount(std::int32_t count) { lastRefreshCount_ = count; }

    // Puts the footer just below the content, or at the bottom of the visible area.
    void adjustFrameWithContentSize();
    // How far the content reaches beyond the visible area (negative when it is shorter).
    double heightForContentBreakView() const;
    // The vertical offset at which the footer starts to come into view.
    double happenOffsetY() const;
    // Rows of a table view or items of a collection view, over all sections; else 0.
    std::int32_t totalDataCountInScrollView() const;

    void adjustStateWithContentOffset();
    void setState(PZRefreshState state) override;

    void layoutSubviews() override;
    void willMoveToSuperview(const std::shared_ptr<UIView>& newSuperview) override;
    void observeValueForKeyPath(const std::string& keyPath, NSObject* object, const Value& change, void* context) override;

protected:
    void setUp() override;

private:
    std::int32_t lastRefreshCount_ = 0;
};
