// PZRefreshHeaderView: the refresh view above a scroll view's content. Pulling the content
// down past it and letting go starts a refresh; it keeps the content below it while
// refreshing, and shows when the last refresh ended (kept in the user defaults under
// "PZRefreshHeaderView").
#pragma once

#include <optional>

#include "platform/foundation/NSDate.h"
#include "ui/PZRefreshBaseView.h"

class PZRefreshHeaderView : public PZRefreshBaseView {
public:
    static std::shared_ptr<PZRefreshHeaderView> header();
    static std::shared_ptr<PZRefreshHeaderView> initWithFrame(CGRect frame);

    explicit PZRefreshHeaderView(CGRect frame);
    std::string className() const override { return "PZRefreshHeaderView"; }

    const std::optional<NSDate>& lastUpdateTime() const { return lastUpdateTime_; }
    // Stores the time, writes it to the user defaults (none removes it) and shows it.
    void setLastUpdateTime(const std::optional<NSDate>& time);
    // The second line; made on first use, which loads the stored time.
    std::shared_ptr<UILabel> lastUpdateTimeLabel();
    // "最后更新：" with "今天 HH:mm", "MM-dd HH:mm" or "yyyy-MM-dd HH:mm"; nothing without a time.
    void updateTimeLabel();

    void adjustStateWithContentOffset();
    void setState(PZRefreshState state) override;

    void layoutSubviews() override;
    void willMoveToSuperview(const std::shared_ptr<UIView>& newSuperview) override;
    void observeValueForKeyPath(const std::string& keyPath, NSObject* object, const Value& change, void* context) override;

protected:
    void setUp() override;

private:
    std::optional<NSDate> lastUpdateTime_;
    std::weak_ptr<UILabel> lastUpdateTimeLabel_;
};
