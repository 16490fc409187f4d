// PGBarProgressView: a determinate progress drawn as a rounded horizontal bar: an outline,
// the remaining inside, and the filled part growing from the left with rounded ends. It
// redraws itself whenever one of its observed properties changes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/threading/KeyValueObserving.h"
#include "platform/uikit/UIView.h"
#include "ui/ProgressIndicator.h"

class PGBarProgressView : public UIView, public threading::KeyValueObservable, public ui::ProgressIndicator {
public:
    // A 120 × 20 view.
    static std::shared_ptr<PGBarProgressView> init();
    static std::shared_ptr<PGBarProgressView> initWithFrame(CGRect frame);
    // Use the factories: they start the self-observation the view relies on.
    explicit PGBarProgressView(CGRect frame);
    std::string className() const override { return "PGBarProgressView"; }

    float progress() const { return progress_; }
    void setProgress(float progress);
    const UIColor& lineColor() const { return lineColor_; }
    void setLineColor(const UIColor& color);
    const UIColor& progressRemainingColor() const { return progressRemainingColor_; }
    void setProgressRemainingColor(const UIColor& color);
    const UIColor& progressColor() const { return progressColor_; }
    void setProgressColor(const UIColor& color);

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

    float progress_ = 0;
    UIColor lineColor_ = UIColor::whiteColor();
    UIColor progressRemainingColor_ = UIColor::clearColor();
    UIColor progressColor_ = UIColor::whiteColor();
    std::vector<threading::Observation> observations_;
};
