// UIImagePickerController as a seam: a navigation controller presented modally whose person is
// scripted. Tests and the host find the pickers on screen through the registry below and answer
// them: pick an image (a file, usually from the album folder uikit::album::folder(), or an image
// object) or cancel. Picking tells the delegate imagePickerControllerDidFinishPickingMediaWithInfo
// with the original image and, when editing is allowed, the edited one (the crop the person
// chose; by default the largest centred square). Which sources the device offers is scripted
// through uikit::album::setSourceAvailable.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/uikit/PhotoAlbum.h"
#include "platform/uikit/UIViewController.h"

class UIImagePickerController;

// Keys of the info dictionary.
inline constexpr const char* UIImagePickerControllerMediaType = "UIImagePickerControllerMediaType";
inline constexpr const char* UIImagePickerControllerOriginalImage = "UIImagePickerControllerOriginalImage";
inline constexpr const char* UIImagePickerControllerEditedImage = "UIImagePickerControllerEditedImage";
inline constexpr const char* UIImagePickerControllerCropRect = "UIImagePickerControllerCropRect";
// The media type of pictures.
inline constexpr const char* kUTTypeImage = "public.image";

class UIImagePickerControllerDelegate {
public:
    virtual ~UIImagePickerControllerDelegate() = default;
    // `info` is a dictionary of the keys above. The picker stays on screen until dismissed.
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(
        const std::shared_ptr<UIImagePickerController>&, const Value& /*info*/) { }
    // By default the picker is dismissed, animated.
    virtual void imagePickerControllerDidCancel(const std::shared_ptr<UIImagePickerController>& picker);
};

class UIImagePickerController final : public UINavigationController {
public:
    // A picker of the photo library (its root screen is made here).
    static std::shared_ptr<UIImagePickerController> create();
    std::string className() const override { return "UIImagePickerController"; }

    static bool isSourceTypeAvailable(UIImagePickerControllerSourceType source);
    // The media types a source offers (pictures); empty when the source is unavailable.
    static std::vector<std::string> availableMediaTypesForSourceType(UIImagePickerControllerSourceType source);

    UIImagePickerControllerSourceType sourceType() const { return source_; }
    // An unavailable source is refused (the source stays) and false returned.
    bool setSourceType(UIImagePickerControllerSourceType source);
    const std::vector<std::string>& mediaTypes() const { return mediaTypes_; }
    void setMediaTypes(std::vector<std::string> types) { mediaTypes_ = std::move(types); }
    bool allowsEditing() const { return allowsEditing_; }
    void setAllowsEditing(bool allows) { allowsEditing_ = allows; }
    void setDelegate(std::weak_ptr<UIImagePickerControllerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UIImagePickerControllerDelegate> delegate() const { return delegate_.lock(); }

    // The person's answer. Each returns false, telling nobody, when the picker is not on screen
    // or (for a file) the file is not a readable image. `crop` is in image points; it is used
    // only when editing is allowed and is cut to the image.
    bool pickImageAtPath(const std::string& path, std::optional<CGRect> crop = std::nullopt);
    // A file of the album folder.
    bool pickAlbumImageNamed(const std::string& fileName, std::optional<CGRect> crop = std::nullopt);
    bool pickImage(const UIImageRef& image, std::optional<CGRect> crop = std::nullopt);
    bool cancel();
    bool isOnScreen() const { return onScreen_; }

    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

private:
    void updateRootTitle();
    UIImagePickerControllerSourceType source_ = UIImagePickerControllerSourceTypePhotoLibrary;
    std::vector<std::string> mediaTypes_ { kUTTypeImage };
    bool allowsEditing_ = false;
    bool onScreen_ = false;
    std::weak_ptr<UIImagePickerControllerDelegate> delegate_;
};

namespace uikit::imagePicker {

// The pickers on screen, oldest first.
std::vector<std::shared_ptr<UIImagePickerController>> visiblePickers();
std::shared_ptr<UIImagePickerController> topPicker();
// Forgets every picker (between tests).
void reset();

} // namespace uikit::imagePicker
