// JZNewsDetailController: a push message opened from the notification: its title in the bar,
// its time in a grey line on top and its text read-only below.
#pragma once

#include <memory>
#include <string>

#include "app/DDYPPartentsController.h"
#include "platform/uikit/UITextView.h"

class JZNewsDetailController : public DDYPPartentsController {
public:
    static std::shared_ptr<JZNewsDetailController> create() { return std::make_shared<JZNewsDetailController>(); }
    std::string className() const override { return "JZNewsDetailController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void didReceiveMemoryWarning() override { DDYPPartentsController::didReceiveMemoryWarning(); }

    const std::string& content() const { return content_; }
    void setContent(std::string content) { content_ = std::move(content); }
    const std::string& titleText() const { return titleText_; }
    void setTitleText(std::string title) { titleText_ = std::move(title); }
    const std::string& times() const { return times_; }
    void setTimes(std::string times) { times_ = std::move(times); }

    const std::shared_ptr<UILabel>& timeLabel() const { return timeLabel_; }
    const std::shared_ptr<UITextView>& contentView() const { return contentView_; }

private:
    std::string content_;
    std::string titleText_;
    std::string times_;
    std::shared_ptr<UILabel> timeLabel_;
    std::shared_ptr<UITextView> contentView_;
};
