// The window's size on a display (fitted, never enlarged, or chosen) and the image resampled to
// it by averaging the pixels under each window pixel.
#include <gtest/gtest.h>

#include "host/window/Fit.h"

namespace {

TEST(WindowFit, FitsTheRoomKeepingTheShapeNeverEnlargingUnlessChosen)
{
    auto roomy = host::fitWindow(640, 1136, 1920, 1200, 0);
    EXPECT_EQ(roomy.width, 640);
    EXPECT_EQ(roomy.height, 1136);
    EXPECT_EQ(roomy.factor, 1);

    auto low = host::fitWindow(640, 1136, 1280, 976, 0);
    EXPECT_EQ(low.height, 976);
    EXPECT_EQ(low.width, 549);
    EXPECT_LE(low.width, 1280);

    auto narrow = host::fitWindow(640, 1136, 320, 2000, 0);
    EXPECT_EQ(narrow.width, 320);
    EXPECT_EQ(narrow.height, 568);

    auto unknown = host::fitWindow(640, 1136, 0, 0, 0);
    EXPECT_EQ(unknown.height, 1136) << "no room known: full size";

    auto chosen = host::fitWindow(640, 1136, 300, 300, 1.5);
    EXPECT_EQ(chosen.width, 960);
    EXPECT_EQ(chosen.height, 1704);
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
