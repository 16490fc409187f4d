// The QR-code detail screen's views: the header, the scroll view and the record's views in it.
#include "app/prospecting/JZQunDetailController.h"

#include "app/UICopyLabel.h"
#include "app/prospecting/RQPublishQunController.h"
#include "platform/uikit/UIScreen.h"

namespace {

constexpr const char* kHowTo = "如何加粉:长安图片保存到相册，然后到聊天里面读取二维码添加好友即可,"
                               "建议一次保存多个二维码图片,然后去聊天一起操作添加";

CGSize screenSize() { return UIScreen::mainScreen()->bounds().size; }

UIColor green() { return UIColor::colorWithRed(112 / 255.0, 188 / 255.0, 90 / 255.0, 1); }

std::shared_ptr<UIButton> greenButton(CGRect frame, const std::string& title, NSInteger tag)
{
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setFrame(frame);
    button->setTitle(title, UIControlStateNormal);
    button->setTag(tag);
    button->setTintColor(UIColor::whiteColor());
    button->setBackgroundColor(green());
    button->layer()->setCornerRadius(3);
    button->setClipsToBounds(true);
    return button;
}

std::shared_ptr<UICopyLabel> greyLines(CGRect frame, const std::string& text)
{
    auto label = UICopyLabel::initWithFrame(frame);
    label->setText(text);
    label->setTextColor(UIColor::grayColor());
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setNumberOfLines(0);
    return label;
}

std::string headerTitle(const std::string& jumpeType)
{
    if (jumpeType == "qun")
        return "我要发布聊天群";
    if (jumpeType == "geren")
        return "我要发布个人二维码";
    return "";
}

} // namespace

void JZQunDetailController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();
    CGSize screen = screenSize();
    myTitle()->setText("群列表");

    auto header = UIView::create(CGRectMake(0, 0, screen.width, 60));
    header->setBackgroundColor(UIColor::colorWithRed(225 / 255.0, 225 / 255.0, 225 / 255.0, 1));
    view()->addSubview(header);
    publishButton_ = greenButton(CGRectMake(20, 10, screen.width - 40, 40), headerTitle(jumpeType_), 0);
    publishButton_->addTarget(sharedAs<JZQunDetailController>(), &JZQunDetailController::publishAction, UIControlEventTouchUpInside);
    header->addSubview(publishButton_);

    backSV_ = UIScrollView::create(CGRectMake(0, 60, screen.width, screen.height - 60));
    backSV_->setUserInteractionEnabled(true);
    view()->addSubview(backSV_);

    getQunDetail();
}

void JZQunDetailController::publishAction(const std::shared_ptr<UIButton>&)
{
    std::shared_ptr<UIViewController> form;
    if (jumpeType_ == "qun")
        form = RQPublishQunController::create();
    else if (jumpeType_ == "geren")
        form = JQUpdateQunController::create();
    auto navigation = navigationController();
    if (form && navigation)
        navigation->pushViewController(form, true);
}

void JZQunDetailController::initMyView()
{
    if (!backSV_)
        return;
    // Copy first: removing a view changes the list being walked.
    auto shown = backSV_->subviews();
    for (const auto& subview : shown)
        subview->removeFromSuperview();
    framButton_.reset();
    nextButton_.reset();
    if (!model_)
        return;

    double width = screenSize().width;
    double bottom = 0;
    if (const auto& imageView = model_->qunImage()) {
        imageView->setUserInteractionEnabled(true);
        attachSaveGesture(imageView);
        backSV_->addSubview(imageView);
        bottom = CGRectGetMaxY(imageView->frame());
    }

    const std::string lines[] = { model_->qunTitle(), "区域:" + model_->qunArear(), "个人聊天:" + model_->qunZhuNumber(),
        model_->qunMiaoShu() };
    for (int i = 0; i < 4; ++i) {
        auto label = greyLines(CGRectMake(10, bottom + 20 + 40 * i, width - 20, i == 3 ? 50 : 35), lines[i]);
        if (i == 0)
            label->setFont(UIFont::systemFontOfSize(20));
        backSV_->addSubview(label);
    }

    double buttonWidth = (width - 60) / 2;
    const char* titles[] = { "上一个", "下一个" };
    for (int i = 0; i < 2; ++i) {
        auto button = greenButton(CGRectMake(20 + i * (buttonWidth + 20), bottom + 200, buttonWidth, 35), titles[i], i);
        button->addTarget(sharedAs<JZQunDetailController>(), &JZQunDetailController::changQunArray, UIControlEventTouchUpInside);
        backSV_->addSubview(button);
        (i == 0 ? framButton_ : nextButton_) = button;
    }

    auto howTo = greyLines(CGRectMake(20, CGRectGetMaxY(framButton_->frame()) + 10, width - 40, 70), kHowTo);
    howTo->setFont(UIFont::systemFontOfSize(13));
    backSV_->addSubview(howTo);
    backSV_->setContentSize(CGSizeMake(width, CGRectGetMaxY(howTo->frame()) + 100));
}

// One recogniser per image view, however often the record is shown again: a second one would
// save the picture twice on one press.
void JZQunDetailController::attachSaveGesture(const std::shared_ptr<UIImageView>& imageView)
{
    for (const auto& recognizer : imageView->gestureRecognizers()) {
        if (std::dynamic_pointer_cast<UILongPressGestureRecognizer>(recognizer))
            return;
    }
    std::weak_ptr<JZQunDetailController> weak = sharedAs<JZQunDetailController>();
    imageView->addGestureRecognizer(UILongPressGestureRecognizer::create([weak](const std::shared_ptr<UIGestureRecognizer>& recognizer) {
        if (auto self = weak.lock())
            self->saveImage(recognizer);
    }));
}
