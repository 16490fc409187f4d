// The picture chooser: its sheet, the two pickers and taking the picked picture.
#include "app/prospecting/YZXPhontoImageView.h"

#include "platform/uikit/UIBars.h"
#include "platform/uikit/UIGestureRecognizer.h"

std::shared_ptr<YZXPhontoImageView> YZXPhontoImageView::initWithFrame(CGRect frame, const std::shared_ptr<UIViewController>& controller)
{
    auto chooser = std::make_shared<YZXPhontoImageView>(frame);
    chooser->controller_ = controller;
    std::weak_ptr<YZXPhontoImageView> weak = chooser;
    auto tap = UITapGestureRecognizer::create([weak](const std::shared_ptr<UIGestureRecognizer>& recognizer) {
        if (auto self = weak.lock())
            self->changImage(recognizer);
    });
    chooser->addGestureRecognizer(tap);
    chooser->setUserInteractionEnabled(true);
    return chooser;
}

void YZXPhontoImageView::changImage(const std::shared_ptr<UIGestureRecognizer>&) { addPicture1(); }

void YZXPhontoImageView::addPicture1()
{
    auto owner = controller();
    if (!owner)
        return;
    auto sheet = UIActionSheet::initWithTitle("请上传身份证正面照", sharedAs<YZXPhontoImageView>(), "取消", "", { "相册", "拍一张" });
    sheet->setActionSheetStyle(UIActionSheetStyleBlackTranslucent);
    sheet->setTag(100);
    sheet->showInView(owner->view());
}

void YZXPhontoImageView::actionSheetClickedButtonAtIndex(const std::shared_ptr<UIActionSheet>&, NSInteger buttonIndex)
{
    auto picker = UIImagePickerController::create();
    if (buttonIndex == 0) {
        picker->navigationBar()->setTintColor(UIColor::whiteColor());
        picker->navigationBar()->setBarTintColor(UIColor::colorWithRed(45 / 255.0, 119 / 255.0, 190 / 255.0, 1));
        if (UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypePhotoLibrary)) {
            picker->setSourceType(UIImagePickerControllerSourceTypePhotoLibrary);
            // Pictures only: anything else would leave the form with nothing to upload.
            picker->setMediaTypes({ kUTTypeImage });
        }
        picker->setAllowsEditing(false);
    } else if (buttonIndex == 1) {
        picker->setAllowsEditing(true);
        bool camera = UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera);
        picker->setSourceType(camera ? UIImagePickerControllerSourceTypeCamera : UIImagePickerControllerSourceTypePhotoLibrary);
    } else {
        return;
    }
    picker->setDelegate(std::static_pointer_cast<UIImagePickerControllerDelegate>(sharedAs<YZXPhontoImageView>()));
    present(picker);
}

void YZXPhontoImageView::present(const std::shared_ptr<UIImagePickerController>& picker)
{
    auto owner = controller();
    if (!owner)
        return;
    picker->view()->setTag(100);
    owner->presentViewController(picker, true);
}

void YZXPhontoImageView::imagePickerControllerDidFinishPickingMediaWithInfo(
    const std::shared_ptr<UIImagePickerController>& picker, const Value& info)
{
    picker->dismissViewControllerAnimated(true);
    // The original picture, also when editing was on.
    auto image = info[UIImagePickerControllerOriginalImage].asObject<UIImage>();
    if (!image)
        return;
    setImage(image);
    contentYes_ = true;
    setFrame(CGRectMake(75, 7.5, 80, 30));
}
