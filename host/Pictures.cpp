// The image picker answered with a file, and the photo album's folder.
#include "host/Pictures.h"

#include "host/Driver.h"

#include <algorithm>
#include <filesystem>

#include "platform/graphics/UIImage.h"
#include "platform/uikit/PhotoAlbum.h"
#include "platform/uikit/UIImagePickerController.h"

namespace host {

namespace fs = std::filesystem;

std::string pickPicture(const std::string& path)
{
    settle();
    auto picker = uikit::imagePicker::topPicker();
    if (!picker || !picker->isOnScreen())
        return "no image picker on screen";
    if (!UIImage::imageWithContentsOfFile(path))
        return "not a picture: " + path;
    if (!picker->pickImageAtPath(path))
        return "the picker did not take the picture";
    settle();
    return "";
}

std::string cancelPicker()
{
    settle();
    auto picker = uikit::imagePicker::topPicker();
    if (!picker || !picker->cancel())
        return "no image picker on screen";
    settle();
    return "";
}

std::string addToAlbum(const std::string& path)
{
    if (!UIImage::imageWithContentsOfFile(path))
        return "not a picture: " + path;
    std::error_code error;
    fs::path folder = uikit::album::folder();
    fs::create_directories(folder, error);
    fs::copy_file(path, folder / fs::path(path).filename(), fs::copy_options::overwrite_existing, error);
    return error ? "could not copy into the album: " + error.message() : "";
}

std::vector<std::string> albumPictures()
{
    settle();
    std::vector<std::string> names;
    for (const auto& path : uikit::album::imagePaths())
        names.push_back(fs::path(path).filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace host
