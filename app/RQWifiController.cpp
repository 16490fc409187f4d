// The picture page.
#include "app/RQWifiController.h"

#include "app/RQWifiDetailController.h"
#include "platform/foundation/NSString.h"

namespace {

constexpr int kPictures = 6;

} // namespace

void RQWifiController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();
    myTitle()->setText("图片");

    CGRect bounds = view()->bounds();
    scrollView_ = UIScrollView::create(bounds);
    view()->addSubview(scrollView_);

    CGFloat width = bounds.size.width;
    CGFloat height = bounds.size.height;
    imageViews_.clear();
    for (int i = 0; i < kPictures; ++i) {
        auto picture = UIImageView::create(CGRectMake(40, 20 + i * (height - 100), width - 80, height - 120));
        picture->setImage(UIImage::imageNamed(NSString::stringWithFormat("750_%d", i)));
        scrollView_->addSubview(picture);
        imageViews_.push_back(picture);
    }
    CGRect last = imageViews_.back()->frame();
    scrollView_->setContentSize(CGSizeMake(width, last.origin.y + last.size.height + 80));
}

void RQWifiController::goDownWifiApp()
{
    if (auto navigation = navigationController())
        navigation->pushViewController(RQWifiDetailController::create(), true);
}
