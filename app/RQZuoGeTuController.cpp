// The screenshot tool's information screen.
#include "app/RQZuoGeTuController.h"

#include "platform/uikit/UIScreen.h"

namespace {

std::shared_ptr<UILabel> infoLabel(CGRect frame, const std::string& text)
{
    auto label = UILabel::create(frame);
    label->setText(text);
    label->setFont(UIFont::systemFontOfSize(15));
    label->setTextAlignment(NSTextAlignmentLeft);
    label->setTextColor(UIColor::grayColor());
    return label;
}

} // namespace

void RQZuoGeTuController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();
    myTitle()->setText("截图工具");
    double width = UIScreen::mainScreen()->bounds().size.width;
    view()->addSubview(infoLabel(CGRectMake(20, 15, width - 40, 21), "苹果安卓通用"));
    view()->addSubview(infoLabel(CGRectMake(20, 100, width - 40, 21), "正规安全软件，可以放心使用"));

    downloadButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    downloadButton_->setFrame(CGRectMake(20, 160, width - 40, 40));
    downloadButton_->setTitle("打开截图工具", UIControlStateNormal);
    downloadButton_->setTag(0);
    downloadButton_->setTintColor(UIColor::whiteColor());
    downloadButton_->setBackgroundColor(UIColor::colorWithRed(112 / 255.0, 188 / 255.0, 90 / 255.0, 1));
    downloadButton_->layer()->setCornerRadius(3);
    downloadButton_->setClipsToBounds(true);
    downloadButton_->addTarget(sharedAs<RQZuoGeTuController>(), &RQZuoGeTuController::goDownWifiApp, UIControlEventTouchUpInside);
    view()->addSubview(downloadButton_);
}
