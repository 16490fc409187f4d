// Image pickers: sources, the scripted person's answers and the registry of those on screen.
#include "platform/uikit/UIImagePickerController.h"

#include <algorithm>

#include "platform/persistence/AppHome.h"
#include "platform/uikit/SystemText.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIKitCore.h"

namespace uikit::imagePicker {
namespace {

std::vector<std::weak_ptr<UIImagePickerController>>& registry()
{
    static std::vector<std::weak_ptr<UIImagePickerController>> shown;
    return shown;
}

void forget(const UIImagePickerController* picker)
{
    std::erase_if(registry(), [picker](const std::weak_ptr<UIImagePickerController>& weak) {
        auto strong = weak.lock();
        return !strong || strong.get() == picker;
    });
}

// The picker's first screen: the album's pictures (a tap on one picks it) or the camera, with a
// Cancel button.
class RootScreen final : public UIViewController {
public:
    explicit RootScreen(std::weak_ptr<UIImagePickerController> picker) : picker_(std::move(picker)) { }
    std::string className() const override { return "ImagePickerScreen"; }
    void viewDidLoad() override
    {
        view()->setBackgroundColor(UIColor::whiteColor());
        std::weak_ptr<UIImagePickerController> picker = picker_;
        navigationItem()->setRightBarButtonItem(UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItemCancel,
            [picker](const std::shared_ptr<UIBarButtonItem>&) {
                if (auto strong = picker.lock())
                    strong->cancel();
            }));
    }
    void viewWillAppear(bool animated) override
    {
        UIViewController::viewWillAppear(animated);
        showAlbum();
    }

private:
    // Four thumbnails a row below the navigation bar, in the album's order.
    void showAlbum()
    {
        for (auto& thumbnail : thumbnails_)
            thumbnail->removeFromSuperview();
        thumbnails_.clear();
        auto picker = picker_.lock();
        if (!picker || picker->sourceType() == UIImagePickerControllerSourceTypeCamera)
            return;
        double width = view()->bounds().size.width;
        double side = (width - 5 * 4) / 4;
        std::size_t index = 0;
        for (const auto& path : album::imagePaths()) {
            auto image = UIImage::imageWithContentsOfFile(path);
            if (!image)
                continue;
            double x = 4 + double(index % 4) * (side + 4);
            double y = 68 + double(index / 4) * (side + 4);
            auto thumbnail = UIImageView::create({ { x, y }, { side, side } });
            thumbnail->setImage(image);
            thumbnail->setContentMode(UIViewContentModeScaleAspectFill);
            thumbnail->setClipsToBounds(true);
            thumbnail->setUserInteractionEnabled(true);
            std::weak_ptr<UIImagePickerController> weak = picker_;
            thumbnail->addGestureRecognizer(UITapGestureRecognizer::create([weak, image](const std::shared_ptr<UIGestureRecognizer>&) {
                if (auto strong = weak.lock())
                    strong->pickImage(image);
            }));
            view()->addSubview(thumbnail);
            thumbnails_.push_back(thumbnail);
            ++index;
        }
    }
    std::vector<std::shared_ptr<UIImageView>> thumbnails_;
    std::weak_ptr<UIImagePickerController> picker_;
};

// The largest square in the middle of an image of `size`.
CGRect centredSquare(CGSize size)
{
    double side = std::min(size.width, size.height);
    return { { (size.width - side) / 2, (size.height - side) / 2 }, { side, side } };
}

// The crop asked for, cut to the image (the centred square when nothing is left).
CGRect cropInImage(std::optional<CGRect> crop, CGSize size)
{
    if (!crop)
        return centredSquare(size);
    CGRect cut = CGRectIntersection(CGRectStandardize(*crop), { {}, size });
    return CGRectIsEmpty(cut) ? centredSquare(size) : cut;
}

UIImageRef cropImage(const UIImageRef& image, CGRect crop)
{
    CGSize size = image->size();
    UIGraphicsBeginImageContextWithOptions(crop.size, false, image->scale());
    image->drawInRect({ { -crop.origin.x, -crop.origin.y }, size });
    auto edited = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return edited;
}

} // namespace

std::vector<std::shared_ptr<UIImagePickerController>> visiblePickers()
{
    std::vector<std::shared_ptr<UIImagePickerController>> pickers;
    for (auto& weak : registry()) {
        if (auto picker = weak.lock())
            pickers.push_back(picker);
    }
    return pickers;
}

std::shared_ptr<UIImagePickerController> topPicker()
{
    auto pickers = visiblePickers();
    return pickers.empty() ? nullptr : pickers.back();
}

void reset()
{
    registry().clear();
}

} // namespace uikit::imagePicker

void UIImagePickerControllerDelegate::imagePickerControllerDidCancel(const std::shared_ptr<UIImagePickerController>& picker)
{
    picker->dismissViewControllerAnimated(true);
}

std::shared_ptr<UIImagePickerController> UIImagePickerController::create()
{
    auto picker = std::make_shared<UIImagePickerController>();
    picker->setViewControllers({ std::make_shared<uikit::imagePicker::RootScreen>(picker) }, false);
    picker->updateRootTitle();
    return picker;
}

bool UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType source)
{
    return uikit::album::isSourceAvailable(source);
}

std::vector<std::string> UIImagePickerController::availableMediaTypesForSourceType(UIImagePickerControllerSourceType source)
{
    if (!isSourceTypeAvailable(source))
        return {};
    return { kUTTypeImage };
}

bool UIImagePickerController::setSourceType(UIImagePickerControllerSourceType source)
{
    if (!isSourceTypeAvailable(source))
        return false;
    source_ = source;
    updateRootTitle();
    return true;
}

void UIImagePickerController::updateRootTitle()
{
    if (viewControllers().empty())
        return;
    viewControllers().front()->setTitle(uikit::systemText(source_ == UIImagePickerControllerSourceTypeCamera ? uikit::SystemText::Camera : uikit::SystemText::Photos));
}

void UIImagePickerController::viewDidAppear(bool animated)
{
    UINavigationController::viewDidAppear(animated);
    onScreen_ = true;
    uikit::imagePicker::forget(this);
    uikit::imagePicker::registry().push_back(sharedAs<UIImagePickerController>());
}

void UIImagePickerController::viewDidDisappear(bool animated)
{
    UINavigationController::viewDidDisappear(animated);
    onScreen_ = false;
    uikit::imagePicker::forget(this);
}

bool UIImagePickerController::pickImageAtPath(const std::string& path, std::optional<CGRect> crop)
{
    if (!onScreen_)
        return false;
    return pickImage(UIImage::imageWithContentsOfFile(path), crop);
}

bool UIImagePickerController::pickAlbumImageNamed(const std::string& fileName, std::optional<CGRect> crop)
{
    return pickImageAtPath(persistence::appendPathComponent(uikit::album::folder(), fileName), crop);
}

bool UIImagePickerController::pickImage(const UIImageRef& image, std::optional<CGRect> crop)
{
    if (!onScreen_ || !image || !image->CGImage())
        return false;
    auto self = sharedAs<UIImagePickerController>();
    Value info = Value::dictionary({
        { UIImagePickerControllerMediaType, Value(kUTTypeImage) },
        { UIImagePickerControllerOriginalImage, Value(image) },
    });
    if (allowsEditing_) {
        CGRect rect = uikit::imagePicker::cropInImage(crop, image->size());
        info.set(UIImagePickerControllerEditedImage, Value(uikit::imagePicker::cropImage(image, rect)));
        info.set(UIImagePickerControllerCropRect, Value(NSValue::valueWithCGRect(rect)));
    }
    if (auto d = delegate_.lock())
        d->imagePickerControllerDidFinishPickingMediaWithInfo(self, info);
    return true;
}

bool UIImagePickerController::cancel()
{
    if (!onScreen_)
        return false;
    auto self = sharedAs<UIImagePickerController>();
    if (auto d = delegate_.lock())
        d->imagePickerControllerDidCancel(self);
    else
        dismissViewControllerAnimated(true);
    return true;
}
