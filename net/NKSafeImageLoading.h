// Image decoding for the HTTP stack and its callers, one decode at a time across the process.
#pragma once

#include "platform/foundation/Value.h"
#include "platform/graphics/UIImage.h"

// An image decoded from `data` while holding the process-wide image-decoding lock; nullptr when
// the bytes are no image.
UIImageRef nk_safeImageWithData(const Bytes& data);
