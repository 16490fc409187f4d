// YZXPhontoImageView: the picture chooser of the QR-code forms. A tap offers "相册" (the photo
// album) or "拍一张" (the camera, or the album on a device without one); the picked picture
// becomes the view's image, shown as a small thumbnail, and `contentYes` records that there is
// one. The presenting screen owns the chooser; the chooser holds it weakly.
#pragma once

#include <memory>

#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UIImageView.h"

class YZXPhontoImageView : public UIImageView, public UIActionSheetDelegate, public UIImagePickerControllerDelegate {
public:
    static std::shared_ptr<YZXPhontoImageView> initWithFrame(CGRect frame, const std::shared_ptr<UIViewController>& controller);
    explicit YZXPhontoImageView(CGRect frame) : UIImageView(frame) { }
    std::string className() const override { return "YZXPhontoImageView"; }

    // The tap recogniser's action.
    void changImage(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    // Shows the sheet: "相册" (0), "拍一张" (1), "取消" (2).
    void addPicture1();
    void actionSheetClickedButtonAtIndex(const std::shared_ptr<UIActionSheet>& sheet, NSInteger buttonIndex) override;
    void imagePickerControllerDidFinishPickingMediaWithInfo(
        const std::shared_ptr<UIImagePickerController>& picker, const Value& info) override;

    bool contentYes() const { return contentYes_; }
    void setContentYes(bool chosen) { contentYes_ = chosen; }
    std::shared_ptr<UIViewController> controller() const { return controller_.lock(); }
    void setController(const std::shared_ptr<UIViewController>& controller) { controller_ = controller; }

private:
    void present(const std::shared_ptr<UIImagePickerController>& picker);

    bool contentYes_ = false;
    std::weak_ptr<UIViewController> controller_;
};
