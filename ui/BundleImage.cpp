// Image lookup by resource name, falling back to the main bundle's folder.
#include "ui/BundleImage.h"

#include "platform/persistence/NSBundle.h"

namespace ui {

UIImageRef bundleImageNamed(const std::string& name)
{
    if (auto image = UIImage::imageNamed(name))
        return image;
    auto path = NSBundle::mainBundle()->pathForResource(name, "");
    if (!path)
        return nullptr;
    return UIImage::imageWithContentsOfFile(*path);
}

} // namespace ui
