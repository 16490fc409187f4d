// The photo album and image picker seams. The album is a folder of images (by default
// "<home>/Media/DCIM"); UIImageWriteToSavedPhotosAlbum writes a PNG into it on a worker queue
// and calls the completion on the main queue, with an error when access is denied or a write
// failure is injected. The picker's source availability is scripted here too.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/graphics/UIImage.h"

enum UIImagePickerControllerSourceType : int {
    UIImagePickerControllerSourceTypePhotoLibrary = 0,
    UIImagePickerControllerSourceTypeCamera = 1,
    UIImagePickerControllerSourceTypeSavedPhotosAlbum = 2,
};

// The completion stands for the target and its image:didFinishSavingWithError:contextInfo:.
using UIImageSaveCompletion = std::function<void(const UIImageRef& image, const NSErrorRef& error, void* contextInfo)>;
void UIImageWriteToSavedPhotosAlbum(const UIImageRef& image, UIImageSaveCompletion completion, void* contextInfo);

namespace uikit::album {

// The album's folder (created on demand).
std::string folder();
void setFolder(const std::string& path);
// The images in the album folder, by file name.
std::vector<std::string> imagePaths();
// Access to the album (denied gives the error "ALAssetsLibraryErrorDomain" -3310).
void setAccessDenied(bool denied);
// The next writes fail (with "NSCocoaErrorDomain" 512) while set.
void setWriteFailure(bool failing);
// Which picker sources the device offers (the photo library and saved album by default).
void setSourceAvailable(UIImagePickerControllerSourceType source, bool available);
bool isSourceAvailable(UIImagePickerControllerSourceType source);
void reset();

} // namespace uikit::album
