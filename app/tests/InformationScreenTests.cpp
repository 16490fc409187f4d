// The push message detail, the picture page and the download-link page.
#include "app/tests/WebScreenTestSupport.h"

#include "app/JZNewsDetailController.h"
#include "app/RQWifiController.h"
#include "app/RQWifiDetailController.h"

namespace app::test {
namespace {

using InformationScreenTest = WebScreenTest;

TEST_F(InformationScreenTest, NewsDetailShowsTimeAboveReadOnlyText)
{
    auto news = JZNewsDetailController::create();
    news->setTitleText("新功能上线");
    news->setTimes("2024-01-01 08:00");
    news->setContent("第一行\n第二行");
    navigation->setNavigationBarHidden(true);
    navigation->pushViewController(news, false);

    EXPECT_FALSE(navigation->isNavigationBarHidden());
    EXPECT_EQ(news->myTitle()->text(), "新功能上线");
    EXPECT_EQ(news->timeLabel()->text(), "2024-01-01 08:00");
    EXPECT_EQ(news->contentView()->text(), "第一行\n第二行");
    EXPECT_FALSE(news->contentView()->isEditable());

    // A message without texts still opens.
    auto empty = JZNewsDetailController::create();
    navigation->pushViewController(empty, false);
    EXPECT_EQ(empty->contentView()->text(), "");
}

TEST_F(InformationScreenTest, PicturePageShowsSixPicturesAndLeadsToTheDownloadLink)
{
    auto page = RQWifiController::create();
    navigation->pushViewController(page, false);
    EXPECT_EQ(page->myTitle()->text(), "图片");
    const auto& pictures = page->imageViews();
    ASSERT_EQ(pictures.size(), 6u);
    for (std::size_t i = 0; i < pictures.size(); ++i)
        EXPECT_TRUE(pictures[i]->image()) << i;
    EXPECT_GE(page->scrollView()->contentSize().height, CGRectGetMaxY(pictures.back()->frame()))
        << "the last picture can be scrolled to";

    page->goDownWifiApp();
    auto detail = std::dynamic_pointer_cast<RQWifiDetailController>(navigation->topViewController());
    ASSERT_TRUE(detail);
    ASSERT_TRUE(detail->linkLabel());
    EXPECT_EQ(detail->linkLabel()->text(), kWifiDownloadLink);
    EXPECT_TRUE(NSURL::URLWithString(detail->linkLabel()->text()));
}

} // namespace
} // namespace app::test
