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
    EXPECT_EQ(news->timeLabel()->textColor(), UIColor::grayColor());
    EXPECT_EQ(news->contentView()->text(), "第一行\n第二行");
    EXPECT_FALSE(news->contentView()->isEditable());
    EXPECT_EQ(news->contentView()->frame().origin.y, 22);

    // A message without texts still opens.
    auto empty = JZNewsDetailController::create();
    navigation->pushViewController(empty, false);
    EXPECT_EQ(empty->contentView()->text(), "");
}

TEST_F(InformationScreenTest, PicturePageStacksSixPictures)
{
    auto page = RQWifiController::create();
    navigation->pushViewController(page, false);
    EXPECT_EQ(page->myTitle()->text(), "图片");
    // Laid out for the view as it was loaded: as large as the screen.
    CGSize size = UIScreen::mainScreen()->bounds().size;
    const auto& pictures = page->imageViews();
    ASSERT_EQ(pictures.size(), 6u);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(pictures[i]->superview(), page->scrollView());
        EXPECT_EQ(
            pictures[i]->frame(), CGRectMake(40, 20 + i * (size.height - 100), size.width - 80, size.height - 120));
        EXPECT_TRUE(pictures[i]->image()) << i;
    }
    EXPECT_EQ(page->scrollView()->contentSize(),
        CGSizeMake(size.width, 20 + 5 * (size.height - 100) + (size.height - 120) + 80));

    page->goDownWifiApp();
    auto detail = std::dynamic_pointer_cast<RQWifiDetailController>(navigation->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->myTitle()->text(), "WIFI钥匙下载链接");
    auto link = detail->linkLabel();
    ASSERT_TRUE(link);
    EXPECT_EQ(link->superview(), detail->box());
    EXPECT_EQ(link->text(), kWifiDownloadLink);
    EXPECT_TRUE(NSURL::URLWithString(link->text()));
    EXPECT_EQ(link->gestureRecognizers().size(), 1u);
}

} // namespace
} // namespace app::test
