// The push message detail screen.
#include "app/JZNewsDetailController.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIScreen.h"

void JZNewsDetailController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();
    myTitle()->setText(titleText_);

    CGFloat width = UIScreen::mainScreen()->bounds().size.width;
    timeLabel_ = UILabel::create(CGRectMake(0, 0, width, 21));
    timeLabel_->setText(times_);
    timeLabel_->setFont(UIFont::systemFontOfSize(15));
    timeLabel_->setTextAlignment(NSTextAlignmentCenter);
    timeLabel_->setTextColor(UIColor::grayColor());
    view()->addSubview(timeLabel_);

    contentView_ = UITextView::create(CGRectMake(0, 22, width, view()->frame().size.height - 21));
    contentView_->setText(NSString::stringWithFormat("%@", content_));
    contentView_->setEditable(false);
    view()->addSubview(contentView_);
}

void JZNewsDetailController::viewWillAppear(bool animated)
{
    DDYPPartentsController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, animated);
}
