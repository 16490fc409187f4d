// The download-link information screen.
#include "app/RQJieTuDetailController.h"

#include "platform/uikit/UIScreen.h"

void RQJieTuDetailController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();
    double width = UIScreen::mainScreen()->bounds().size.width;
    box_ = UIView::create(CGRectMake(20, 20, width - 40, 250));
    box_->layer()->setCornerRadius(3);
    box_->setClipsToBounds(true);
    box_->layer()->setBorderWidth(1);
    box_->layer()->setBorderColor(UIColor::colorWithRed(114 / 255.0, 114 / 255.0, 114 / 255.0, 0.1).CGColor());
    view()->addSubview(box_);
    myTitle()->setText("WIFI钥匙下载链接");

    CGSize boxSize = box_->frame().size;
    linkLabel_ = UICopyLabel::initWithFrame(CGRectMake(10, 10, boxSize.width - 20, boxSize.height - 20));
    linkLabel_->setFont(UIFont::systemFontOfSize(15));
    linkLabel_->setTextColor(UIColor::colorWithRed(0, 112 / 255.0, 180 / 255.0, 1));
    linkLabel_->setTextAlignment(NSTextAlignmentCenter);
    linkLabel_->setText("安卓用户在应用宝或者商店搜索");
    box_->addSubview(linkLabel_);
}
