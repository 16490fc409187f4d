// The download-link page.
#include "app/RQWifiDetailController.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIScreen.h"

namespace {

std::shared_ptr<UILabel> greyLine(CGRect frame, const std::string& text)
{
    auto label = UILabel::create(frame);
    label->setText(text);
    label->setFont(UIFont::systemFontOfSize(15));
    label->setTextAlignment(NSTextAlignmentLeft);
    label->setTextColor(UIColor::grayColor());
    return label;
}

} // namespace

void RQWifiDetailController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();

    CGFloat width = UIScreen::mainScreen()->bounds().size.width;
    box_ = UIView::create(CGRectMake(20, 20, width - 40, 250));
    box_->layer()->setCornerRadius(3);
    box_->layer()->setMasksToBounds(true);
    box_->layer()->setBorderWidth(1);
    box_->layer()->setBorderColor(UIColor::colorWithRed(114 / 255.0, 114 / 255.0, 114 / 255.0, 0.1).CGColor());
    view()->addSubview(box_);

    myTitle()->setText("WIFI钥匙下载链接");

    CGFloat boxWidth = box_->frame().size.width;
    box_->addSubview(greyLine(CGRectMake(20, 15, boxWidth - 40, 21), "下载安卓即可使用!"));
    auto prompt = greyLine(CGRectMake(20, 40, boxWidth - 40, 21), "随便破:");
    box_->addSubview(prompt);

    linkLabel_ = UICopyLabel::initWithFrame(CGRectMake(0, 28, prompt->frame().size.width, 45));
    linkLabel_->setFont(UIFont::systemFontOfSize(15));
    linkLabel_->setTextColor(UIColor::colorWithRed(0, 112 / 255.0, 180 / 255.0, 1));
    linkLabel_->setTextAlignment(NSTextAlignmentCenter);
    linkLabel_->setText(NSString::stringWithFormat("%@", std::string(kWifiDownloadLink)));
    box_->addSubview(linkLabel_);

    box_->addSubview(greyLine(CGRectMake(20, 90, boxWidth - 40, 21), "下载安卓即可使用!"));
}
