// Images of the application's resources by name for the toolkit: the image cache's lookup
// first, then the main bundle's folder directly (for when no resource resolver is installed).
#pragma once

#include <string>

#include "platform/graphics/UIImage.h"

namespace ui {

// "PGProgressHUD.bundle/success.png" and the like; null when the image is not there.
UIImageRef bundleImageNamed(const std::string& name);

} // namespace ui
