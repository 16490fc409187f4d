// The window's size on a display (fitted, never enlarged, or chosen) and the image resampled to
// it by averaging the pixels under each window pixel.
#include <gtest/gtest.h>

#include "host/window/Fit.h"

namespace {

TEST(WindowFit, FitsTheRoomKeepingTheShapeNeverEnlargingUnlessChosen)
{
    struct Case {
        int roomWidth, roomHeight;
        double chosen;
        int width, height;
    };
    // Room enough; too low; too narrow; no room known (full size); a chosen scale past the room.
    for (auto c : { Case { 1920, 1200, 0, 640, 1136 }, Case { 1280, 976, 0, 549, 976 }, Case { 320, 2000, 0, 320, 568 },
             Case { 0, 0, 0, 640, 1136 }, Case { 300, 300, 1.5, 960, 1704 } }) {
        auto fit = host::fitWindow(640, 1136, c.roomWidth, c.roomHeight, c.chosen);
        EXPECT_EQ(std::pair(fit.width, fit.height), std::pair(c.width, c.height)) << c.roomWidth << "x" << c.roomHeight;
    }
}

TEST(WindowFit, ResamplingAveragesWhatIsUnderEachPixel)
{
    const std::vector<std::uint32_t> square = { 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF };
    EXPECT_EQ(host::resample(square, 2, 2, 1, 1), std::vector<std::uint32_t> { 0x808080 });
    EXPECT_EQ(host::resample(square, 2, 2, 2, 2), square);
    EXPECT_EQ(host::resample(square, 2, 2, 4, 4)[0], 0xFF0000u) << "enlarged: each pixel repeated";
    EXPECT_EQ(host::resample(square, 2, 2, 4, 4)[15], 0xFFFFFFu);

    // A black line one pixel high in white stays visible, grey, when shrunk to a third.
    std::vector<std::uint32_t> lines(3 * 9, 0xFFFFFF);
    for (int x = 0; x < 3; ++x)
        lines[4 * 3 + x] = 0;
    auto shrunk = host::resample(lines, 3, 9, 1, 3);
    ASSERT_EQ(shrunk.size(), 3u);
    EXPECT_EQ(shrunk[1], 0xAAAAAAu);
    EXPECT_EQ(shrunk[0], 0xFFFFFFu);

    EXPECT_TRUE(host::resample(square, 3, 2, 1, 1).empty()) << "sizes that do not match the pixels";
    EXPECT_TRUE(host::resample(square, 2, 2, 0, 1).empty());
}

} // namespace
