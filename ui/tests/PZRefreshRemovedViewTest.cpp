// Refresh views taken out of their scroll view just after a refresh ended: the end still gives
// the scroll view its inset back, and the views no longer follow it.
#include "ui/tests/PZRefreshFixture.h"

#include "ui/PZExtension.h"

namespace refreshtest {
namespace {

TEST_F(RefreshTest, AHeaderRemovedJustAfterItsRefreshEndedStillGivesTheInsetBack)
{
    int calls = 0;
    pz_addHeaderWithCallback(*scroll, [&calls] { ++calls; });
    auto header = pz_header(*scroll);
    pull(*scroll, -70);
    ASSERT_EQ(scroll->contentInset().top, 64);

    pz_headerEndRefreshing(*scroll);
    pz_removeHeader(*scroll);
    EXPECT_EQ(header->scrollView().get(), scroll.get()) << "kept after leaving it";
    advance(0.31);
    EXPECT_EQ(scroll->contentInset().top, 0);
    advance(0.4);
    EXPECT_EQ(header->state(), PZRefreshStateNormal);

    pull(*scroll, -70);
    EXPECT_EQ(calls, 1) << "a removed header no longer follows the scroll view";
    EXPECT_EQ(scroll->contentInset().top, 0);
}

TEST_F(RefreshTest, AFooterRemovedJustAfterItsRefreshEndedStillGivesTheInsetBackAndStaysPut)
{
    scroll->setContentSize(CGSizeMake(320, 1000));
    pz_addFooterWithCallback(*scroll, [] { });
    auto footer = pz_footer(*scroll);
    pull(*scroll, 600);
    ASSERT_EQ(scroll->contentInset().bottom, 64);

    pz_footerEndRefreshing(*scroll);
    pz_removeFooter(*scroll);
    advance(0.31);
    EXPECT_EQ(scroll->contentInset().bottom, 0);
    advance(0.4);
    EXPECT_EQ(footer->state(), PZRefreshStateNormal);

    scroll->setContentSize(CGSizeMake(320, 2000));
    EXPECT_EQ(pz_y(*footer), 1000) << "a removed footer no longer follows the content size";
}

} // namespace
} // namespace refreshtest
