// Alerts and action sheets: button numbering, delegate calls, the registry.
#include "Fixture.h"

namespace {

struct AlertListener : UIAlertViewDelegate, UIActionSheetDelegate {
    std::vector<std::string> events;
    void alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& a, NSInteger i) override
    {
        events.push_back("clicked " + std::to_string(i) + " tag " + std::to_string(a->tag()));
    }
    void alertViewCancel(const std::shared_ptr<UIAlertView>&) override { events.push_back("cancel"); }
    void alertViewDidDismissWithButtonIndex(const std::shared_ptr<UIAlertView>&, NSInteger i) override
    {
        events.push_back("dismissed " + std::to_string(i));
    }
    void actionSheetClickedButtonAtIndex(const std::shared_ptr<UIActionSheet>&, NSInteger i) override
    {
        events.push_back("sheet " + std::to_string(i));
    }
};

TEST_F(UIKitTest, AlertNumbersCancelFirstThenTheOthers)
{
    auto listener = std::make_shared<AlertListener>();
    auto alert = UIAlertView::initWithTitle("收到一条推送消息", "hello", listener, "去查看", { "忽略" });
    alert->setTag(101);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "忽略");
    EXPECT_EQ(alert->addButtonWithTitle("more"), 2);
    EXPECT_TRUE(uikit::visibleAlerts().empty());
    alert->show();
    ASSERT_EQ(uikit::topAlert(), alert);
    EXPECT_EQ(uikit::topAlert()->indexOfButtonWithTitle("忽略"), 1);
    EXPECT_TRUE(alert->tapButtonAtIndex(1));
    EXPECT_EQ(listener->events, (std::vector<std::string> { "clicked 1 tag 101", "dismissed 1" }));
    EXPECT_TRUE(uikit::visibleAlerts().empty());
    EXPECT_FALSE(alert->tapButtonAtIndex(0)) << "a dismissed alert takes no more taps";

    auto noCancel = UIAlertView::initWithTitle("", "m", listener, "", { "a", "b" });
    EXPECT_EQ(noCancel->cancelButtonIndex(), -1);
    EXPECT_EQ(noCancel->firstOtherButtonIndex(), 0);
}

TEST_F(UIKitTest, ActionSheetPutsCancelLast)
{
    auto listener = std::make_shared<AlertListener>();
    auto sheet = UIActionSheet::initWithTitle("请上传身份证正面照", listener, "取消", "", { "相册", "拍一张" });
    EXPECT_EQ(sheet->buttonTitleAtIndex(0), "相册");
    EXPECT_EQ(sheet->buttonTitleAtIndex(1), "拍一张");
    EXPECT_EQ(sheet->cancelButtonIndex(), 2);
    sheet->showInView(window);
    EXPECT_TRUE(uikit::topAlert()->isSheet());
    sheet->tapButtonAtIndex(2);
    EXPECT_EQ(listener->events, (std::vector<std::string> { "sheet 2" }));
}

TEST_F(UIKitTest, AShownAlertOutlivesItsCreatorHoldsItsDelegateWeaklyAndIsCancelledBySystemDismissal)
{
    {
        auto listener = std::make_shared<AlertListener>();
        UIAlertView::initWithTitle("t", "m", listener, "OK", {})->show();
    }
    ASSERT_EQ(uikit::visibleAlerts().size(), 1u);
    EXPECT_EQ(uikit::topAlert()->title(), "t");
    EXPECT_TRUE(uikit::topAlert()->tapButtonAtIndex(0)) << "a gone delegate is simply not told";

    auto listener = std::make_shared<AlertListener>();
    UIAlertView::initWithTitle("t", "m", listener, "OK", {})->show();
    uikit::dismissAllAlerts(true);
    EXPECT_EQ(listener->events, (std::vector<std::string> { "cancel" })) << "a system dismissal is no click";
}

} // namespace
