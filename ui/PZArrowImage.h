// The arrow shown by the refresh views: the application's "PZRefresh.bundle/arrow.png" when
// the package has it, otherwise the same picture drawn here (a grey arrow pointing down).
#pragma once

#include "platform/graphics/UIImage.h"

namespace ui::refresh {

UIImageRef arrowImage();

} // namespace ui::refresh
