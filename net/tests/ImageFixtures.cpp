// The image fixtures of the graphics tests (PNG of every colour type, JPEG in grey, RGB or CMYK),
// built into this test binary too.
#include "platform/graphics/tests/Fixtures.cpp"
