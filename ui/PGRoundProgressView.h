// PGRoundProgressView: a determinate progress drawn as a pie (a filled sector over a faint
// disc) or, when annular, as a ring, starting at the top and running clockwise. It redraws
// itself whenever one of its observed properties changes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/threading/KeyValueObserving.h"
#include "platform/uikit/UIView.h"
#include "ui/ProgressIndicator.h"

class PGRoundProgressView : public UIView, public threading::KeyValueObservable, public ui::ProgressIndicator {
public:
    // A 37 × 37 view.
    static std::shared_ptr<PGRoundProgressView> init();
    static std::shared_ptr<PGRoundProgressView> initWithFrame(CGRect frame);
    // Use the factories: they start the self-observation the view relies on.
    explicit PGRoundProgressView(CGRect frame);
    std::string className() const override { return "PGRoundProgressView"; }

    float progress() const { return progress_; }
    void setProgress(float progress);
    const UIColor& progressTintColor() const { return progressTintColor_; }
    void setProgressTintColor(const UIColor& color);
    const UIColor& backgroundTintColor() const { return backgroundTintColor_; }
    void setBackgroundTintColor(const UIColor& color);
    bool isAnnular() const { return annular_; }
    bool annular() const { return annular_; }
    void setAnnular(bool annular);

    // "progress" takes a boxed number.
    void setValueForKey(const std::string& key, const Value& value) override;
    Value valueForKey(const std::string& key) const override;
    void drawRect(CGRect rect) override;

private:
    void observeOwnProperties();
    template <class T>
    void change(const char* key, T& field, T value)
    {
        willChangeValueForKey(key);
        field = std::move(value);
        didChangeValueForKey(key);
    }
    void drawRing(const CGContextRef& context, float startAngle, float endAngle);
    void drawPie(const CGContextRef& context, float startAngle, float endAngle);

    float progress_ = 0;
    UIColor progressTintColor_ = UIColor::colorWithWhite(1, 1);
    UIColor backgroundTintColor_ = UIColor::colorWithWhite(1, 0.1);
    bool annular_ = false;
    std::vector<threading::Observation> observations_;
};
