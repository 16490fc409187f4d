// The QR-code detail screen against our data server: what it shows, the detail and step
// requests and what their replies do, the header's form, and saving the code's
// picture to the album (only a loaded picture, once per press, honest about the result).
#include "app/UICopyLabel.h"
#include "app/prospecting/JZQunDetailController.h"
#include "app/prospecting/tests/JZQunTestSupport.h"

using dataserver::Failure;

namespace app::test {

namespace {

constexpr const char* kDetail = "qrcode/getDetail.do";
constexpr const char* kStep = "qrcode/getChangeDetail.do";

class QrDetail : public QrScreenTest {
protected:
    std::vector<dataserver::QrCode> codes(const std::string& type = "3") { return server().world().qrcodes(type, 0, 20).items; }

    // The record a list row would hand over: the code at `index` of the first page.
    std::shared_ptr<JZQunModel> listed(std::size_t index, const std::string& type = "3")
    {
        auto code = codes(type).at(index);
        return JZQunModel::initWithDic(Value::dictionary({ { "qrcodeId", code.id }, { "title", code.title },
            { "position", static_cast<long long>(index) }, { "qrcodeImg", "" } }));
    }
    // Pushes the detail of `model` and waits until the first reply has been handled.
    std::shared_ptr<JZQunDetailController> open(std::shared_ptr<JZQunModel> model, const std::string& jumpeType = "qun")
    {
        auto detail = JZQunDetailController::create();
        detail->setModel(std::move(model));
        detail->setJumpeType(jumpeType);
        push(detail);
        EXPECT_TRUE(waitForRequests(kDetail, 1));
        EXPECT_TRUE(waitFor([&] { return loggedContaining("status"); }));
        return detail;
    }
    // Taps a step button and waits until its reply has been handled.
    void step(const std::shared_ptr<JZQunDetailController>& detail, bool next)
    {
        auto before = requestCount(kStep);
        clearLog();
        tap(next ? detail->nextButton() : detail->framButton());
        ASSERT_TRUE(waitForRequests(kStep, before + 1));
        ASSERT_TRUE(waitFor([&] { return loggedContaining("status"); }));
    }
    static std::vector<std::shared_ptr<UICopyLabel>> lines(const std::shared_ptr<JZQunDetailController>& detail)
    {
        std::vector<std::shared_ptr<UICopyLabel>> found;
        for (const auto& view : detail->backSV()->subviews()) {
            if (auto label = std::dynamic_pointer_cast<UICopyLabel>(view))
                found.push_back(label);
        }
        return found;
    }
    static std::vector<std::shared_ptr<UILongPressGestureRecognizer>> presses(const std::shared_ptr<UIView>& view)
    {
        std::vector<std::shared_ptr<UILongPressGestureRecognizer>> found;
        for (const auto& recognizer : view->gestureRecognizers()) {
            if (auto press = std::dynamic_pointer_cast<UILongPressGestureRecognizer>(recognizer))
                found.push_back(press);
        }
        return found;
    }
    // A press on the code that lasts a while: began, changed twice, ended.
    static void longPress(const std::shared_ptr<JZQunDetailController>& detail)
    {
        auto found = presses(detail->model()->qunImage());
        ASSERT_FALSE(found.empty());
        for (const auto& press : found) {
            for (auto state : { UIGestureRecognizerStateBegan, UIGestureRecognizerStateChanged, UIGestureRecognizerStateChanged,
                     UIGestureRecognizerStateEnded })
                press->fire(state);
        }
    }
    bool pictureLoaded(const std::shared_ptr<JZQunDetailController>& detail)
    {
        auto image = detail->model()->qunImage()->image();
        return image && image != JZQunModel::placeholderImage();
    }
};

TEST_F(QrDetail, ShowsTheCodeAndItsLinesInOrderAndStepsFromTheRecordOnShow)
{
    auto all = codes();
    ASSERT_GE(all.size(), 3u);
    auto detail = open(listed(1));
    auto sent = server().requests(kDetail).back();
    EXPECT_EQ(sent.params.at("id"), std::to_string(all[1].id));
    EXPECT_EQ(sent.params.at("position"), "1");
    auto picture = detail->model()->qunImage();
    ASSERT_TRUE(picture) << "the server's record carries a picture";
    auto shown = lines(detail);
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[0]->text(), all[1].title);
    EXPECT_EQ(shown[1]->text(), "区域:" + all[1].areaName);
    EXPECT_EQ(shown[2]->text(), "个人聊天:" + all[1].account);
    EXPECT_EQ(shown[3]->text(), all[1].descriptions);
    EXPECT_GE(shown[0]->frame().origin.y, CGRectGetMaxY(picture->frame())) << "the lines follow the picture";
    EXPECT_GE(detail->backSV()->contentSize().height, CGRectGetMaxY(shown[4]->frame())) << "all can be scrolled to";

    step(detail, true);
    EXPECT_EQ(server().requests(kStep).back().params.at("flag"), "1");
    EXPECT_EQ(server().requests(kStep).back().params.at("id"), std::to_string(all[1].id));
    EXPECT_EQ(detail->model()->qunId(), std::to_string(all[2].id));
    step(detail, false);
    step(detail, false);
    EXPECT_EQ(server().requests(kStep).back().params.at("flag"), "0");
    EXPECT_EQ(server().requests(kStep).back().params.at("position"), "1");
    EXPECT_EQ(detail->model()->qunId(), std::to_string(all[0].id));

    // Before the first code the server refuses; its message shows unchanged, the code stays.
    auto onShow = detail->model();
    step(detail, false);
    ASSERT_TRUE(topAlert());
    EXPECT_EQ(topAlert()->message(), "已经是第一个了");
    EXPECT_EQ(detail->model(), onShow);
    EXPECT_EQ(lines(detail)[0]->text(), all[0].title);
}

TEST_F(QrDetail, ARefusalWithoutAMessageSaysFailed)
{
    auto detail = open(listed(0));
    for (const char* body : { R"({"status":0})", R"({"status":0,"msg":null})", R"({"status":7})", "<html></html>" }) {
        uikit::dismissAllAlerts(false);
        server().fail(kStep, Failure::withBody(body));
        tap(detail->nextButton());
        ASSERT_TRUE(waitFor([&] { return topAlert() != nullptr; })) << body;
        EXPECT_EQ(topAlert()->message(), "出错") << body;
    }
}

TEST_F(QrDetail, NetworkFailureLeavesTheScrollViewEmptyAndSilent)
{
    server().fail(kDetail, Failure::http(500));
    auto detail = push(JZQunDetailController::create());
    detail->setModel(listed(0));
    detail->getQunDetail();
    ASSERT_TRUE(waitForRequests(kDetail, 1));
    testing_support::settle(1);
    EXPECT_TRUE(detail->backSV()->subviews().empty());
    EXPECT_FALSE(topAlert());
}

TEST_F(QrDetail, RecordWithoutPictureStartsItsLinesAtTheTop)
{
    server().fail(kDetail, Failure::withBody(R"({"status":1,"info":{"title":"无图","qrcodeImg":""}})"));
    auto detail = open(listed(0));
    EXPECT_FALSE(detail->model()->qunImage());
    EXPECT_EQ(lines(detail)[0]->text(), "无图");
    EXPECT_LT(lines(detail)[0]->frame().origin.y, 100) << "no room kept for a picture";

    // A step reply whose record is no dictionary shows the record on show again.
    server().fail(kStep, Failure::withBody(R"({"status":1,"info":[]})"));
    step(detail, true);
    EXPECT_EQ(lines(detail).size(), 5u) << "rebuilt, not added to";
    EXPECT_EQ(lines(detail)[0]->text(), "无图");
}

TEST_F(QrDetail, LongPressSavesOnlyALoadedPictureAndOnlyOnce)
{
    server().fail("qrcode/image.do", Failure::held());
    auto detail = open(listed(0));
    ASSERT_TRUE(detail->model()->qunImage());
    ASSERT_TRUE(waitForRequests("qrcode/image.do", 1));

    // The placeholder is no code to save.
    longPress(detail);
    EXPECT_EQ(lastHud(detail->view()), "保存时出错");
    testing_support::settle(1);
    EXPECT_TRUE(uikit::album::imagePaths().empty());

    server().release("qrcode/image.do");
    server().fail("qrcode/image.do", Failure {});
    ASSERT_TRUE(waitFor([&] { return pictureLoaded(detail); }));
    clearHuds();
    longPress(detail);
    ASSERT_TRUE(waitForHud(detail->view(), "二维码已保存到相册"));
    EXPECT_EQ(uikit::album::imagePaths().size(), 1u);

    // Showing the same record again keeps one recogniser, so a press still saves once.
    server().fail(kStep, Failure::withBody(R"({"status":1,"info":"same"})"));
    step(detail, true);
    EXPECT_EQ(presses(detail->model()->qunImage()).size(), 1u);
    clearHuds();
    longPress(detail);
    ASSERT_TRUE(waitForHud(detail->view(), "二维码已保存到相册"));
    EXPECT_EQ(uikit::album::imagePaths().size(), 2u);
}

TEST_F(QrDetail, AlbumThatRefusesIsReportedAsAnError)
{
    auto detail = open(listed(0));
    ASSERT_TRUE(waitFor([&] { return pictureLoaded(detail); }));
    for (bool denied : { true, false }) {
        uikit::album::reset();
        uikit::album::setFolder(home_.pathFor("Media/DCIM"));
        if (denied)
            uikit::album::setAccessDenied(true);
        else
            uikit::album::setWriteFailure(true);
        clearHuds();
        longPress(detail);
        ASSERT_TRUE(waitForHud(detail->view(), "保存时出错")) << denied;
        EXPECT_TRUE(uikit::album::imagePaths().empty());
    }
}

TEST_F(QrDetail, HeaderOpensTheFormOfTheListsKindAndNoneForAnotherKind)
{
    auto groups = open(listed(0), "qun");
    tap(groups->publishButton());
    ASSERT_TRUE(waitFor([&] { return navigation->topViewController() != groups; }));
    EXPECT_EQ(navigation->topViewController()->className(), "RQPublishQunController");
    navigation->popToRootViewControllerAnimated(false);
    server().reset();
    clearLog();
    auto unknown = open(listed(0), "other");
    EXPECT_EQ(unknown->publishButton()->titleForState(UIControlStateNormal), "");
    tap(unknown->publishButton());
    testing_support::settle(1);
    EXPECT_EQ(navigation->topViewController(), unknown);
}

} // namespace

} // namespace app::test
