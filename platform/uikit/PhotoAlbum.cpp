// The photo album folder and saving images into it.
#include "platform/uikit/PhotoAlbum.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>

#include "platform/persistence/AppHome.h"
#include "platform/threading/Dispatch.h"

namespace uikit::album {
namespace {

struct State {
    std::mutex mutex;
    std::string folder;
    bool denied = false;
    bool failing = false;
    std::set<int> sources { UIImagePickerControllerSourceTypePhotoLibrary, UIImagePickerControllerSourceTypeSavedPhotosAlbum };
    int counter = 0;
};

State& state()
{
    static State s;
    return s;
}

} // namespace

std::string folder()
{
    std::string path;
    {
        std::lock_guard lock(state().mutex);
        path = state().folder;
    }
    if (path.empty())
        path = persistence::appendPathComponent(NSHomeDirectory(), "Media/DCIM");
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    return path;
}

void setFolder(const std::string& path)
{
    std::lock_guard lock(state().mutex);
    state().folder = path;
}

std::vector<std::string> imagePaths()
{
    std::vector<std::string> paths;
    std::error_code error;
    for (auto& entry : std::filesystem::directory_iterator(folder(), error)) {
        if (entry.is_regular_file())
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void setAccessDenied(bool denied)
{
    std::lock_guard lock(state().mutex);
    state().denied = denied;
}

void setWriteFailure(bool failing)
{
    std::lock_guard lock(state().mutex);
    state().failing = failing;
}

void setSourceAvailable(UIImagePickerControllerSourceType source, bool available)
{
    std::lock_guard lock(state().mutex);
    if (available)
        state().sources.insert(source);
    else
        state().sources.erase(source);
}

bool isSourceAvailable(UIImagePickerControllerSourceType source)
{
    std::lock_guard lock(state().mutex);
    return state().sources.count(source) > 0;
}

void reset()
{
    std::lock_guard lock(state().mutex);
    State& s = state();
    s.folder.clear();
    s.denied = s.failing = false;
    s.sources = { UIImagePickerControllerSourceTypePhotoLibrary, UIImagePickerControllerSourceTypeSavedPhotosAlbum };
}

} // namespace uikit::album

void UIImageWriteToSavedPhotosAlbum(const UIImageRef& image, UIImageSaveCompletion completion, void* contextInfo)
{
    using namespace uikit::album;
    std::string dir = folder();
    bool denied, failing;
    int number;
    {
        std::lock_guard lock(state().mutex);
        denied = state().denied;
        failing = state().failing;
        number = ++state().counter;
    }
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [=] {
        NSErrorRef error;
        if (denied) {
            error = NSError::errorWithDomain("ALAssetsLibraryErrorDomain", -3310);
        } else if (failing || !image) {
            error = NSError::errorWithDomain("NSCocoaErrorDomain", 512);
        } else {
            // Never overwrite a picture already in the album.
            std::string path;
            for (int n = number;; ++n) {
                char name[32];
                std::snprintf(name, sizeof name, "IMG_%04d.png", n);
                path = persistence::appendPathComponent(dir, name);
                if (!std::filesystem::exists(path))
                    break;
            }
            if (!graphics::writePngFile(image->CGImage(), path))
                error = NSError::errorWithDomain("NSCocoaErrorDomain", 512);
        }
        if (!completion)
            return;
        dispatch_async(dispatch_get_main_queue(), [=] { completion(image, error, contextInfo); });
    });
}
