// The QR-code screens against our data server. The record: texts of every kind of value, the
// position, the placeholder of a missing picture. The lists: the reply kinds and a late reply of
// an earlier appearance. The detail: the steps from the record on show and the refusal before the
// first, and saving the code's picture to the album (only a loaded picture, once per press,
// honest about the result). The forms: the province and city pickers, every field check in
// its order with its limits, and the refusals that keep the form. The screens and publish scripts
// walk each list, the group list's form, a detail, the picture chooser and an upload end to end.
#include "app/DVUUID.h"
#include "app/UICopyLabel.h"
#include "app/prospecting/JZQunDetailController.h"
#include "app/prospecting/JZQunModel.h"
#include "app/prospecting/RQHuFenController.h"
#include "app/prospecting/RQPublishQunController.h"
#include "app/prospecting/RQQunListController.h"
#include "app/prospecting/tests/ScreenTestSupport.h"
#include "image/WIImageManager.h"
#include "platform/threading/Dispatch.h"
#include "platform/uikit/PhotoAlbum.h"
#include "platform/uikit/UIImagePickerController.h"

using dataserver::Failure;

namespace app::test {

namespace {

// The lead screens' fixture plus the app's image resources, an empty album and picker registry,
// and helpers to push a screen, lay out its table and pick pictures.
class QrScreenTest : public ScreenTest {
protected:
    QrScreenTest()
    {
        useAppResources();
        uikit::album::reset();
        uikit::album::setFolder(home_.pathFor("Media/DCIM"));
        uikit::imagePicker::reset();
        // Pictures come from the server in every test, not from an earlier test's cache.
        auto cache = WIImageManager::sharedManager()->imageCache();
        cache->clearMemory();
        cache->clearDisk();
        dispatch_sync(cache->ioQueue(), [] { });
    }
    // Every record starts a picture download. Those still under way when a test ends would run
    // on into the program's exit, on worker threads that use objects being destroyed, and into
    // the next test's empty home: each test lets them finish, their disk writes included.
    ~QrScreenTest() override
    {
        server().release();
        auto manager = WIImageManager::sharedManager();
        EXPECT_TRUE(waitFor([&] {
            return !manager->isRunning() && manager->imageDownloader()->currentDownloadCount() == 0;
        })) << "picture downloads still running";
        dispatch_sync(manager->imageCache()->ioQueue(), [] { });
        testing_support::settle(2);
        uikit::imagePicker::reset();
        uikit::album::reset();
        graphics::setResourceResolver({});
    }

    // Pushes the screen (its view loads) without waiting for anything.
    template <class Screen>
    std::shared_ptr<Screen> push(std::shared_ptr<Screen> screen)
    {
        navigation->pushViewController(screen, false);
        screen->view();
        return screen;
    }
    std::size_t requestCount(const std::string& path) { return server().requests(path).size(); }
    static std::vector<dataserver::QrCode> codes(const std::string& type = "3") { return server().world().qrcodes(type, 0, 20).items; }
    // The items of type T among `items` (views, recognisers), in order.
    template <class T, class Items>
    static std::vector<std::shared_ptr<T>> ofType(const Items& items)
    {
        std::vector<std::shared_ptr<T>> found;
        for (const auto& item : items) {
            if (auto typed = std::dynamic_pointer_cast<T>(item))
                found.push_back(typed);
        }
        return found;
    }
    bool waitForRequests(const std::string& path, std::size_t count)
    {
        return waitFor([&] { return requestCount(path) >= count; });
    }
};

class QrRecord : public QrScreenTest { };

TEST_F(QrRecord, TextsOfEveryKindOfValueAndThePosition)
{
    auto bare = JZQunModel::initWithDic(Value("text")); // no dictionary: no keys
    for (const auto& text : { bare->qunTitle(), bare->qunId(), bare->qunType(), bare->qunArear(), bare->qunIgUrl(),
             bare->qunNumber(), bare->qunUpTime(), bare->qunMiaoShu(), bare->qunZhuNumber(), bare->qunTypeId(), bare->qunArearId() })
        EXPECT_EQ(text, "(null)");
    EXPECT_EQ(JZQunModel::initWithDic(Value::dictionary({ { "title", Value::null() } }))->qunTitle(), "<null>");
    auto full = JZQunModel::initWithDic(Value::dictionary({ { "title", 7 }, { "account", 123456789012LL }, { "position", "12" },
        { "qrcodeImg", "" } }));
    EXPECT_EQ(full->qunTitle(), "7");
    EXPECT_EQ(full->qunZhuNumber(), "123456789012");
    EXPECT_EQ(full->position(), 12);
    EXPECT_FALSE(full->qunImage()) << "an empty picture address gives no image view";
    EXPECT_EQ(bare->position(), 0);
    for (const auto& position : { Value::null(), Value("abc") })
        EXPECT_EQ(JZQunModel::initWithDic(Value::dictionary({ { "position", position } }))->position(), 0);

    // A missing picture address is not the empty one: the placeholder shows and stays.
    auto view = JZQunModel::initWithDic(Value::dictionary({ { "title", "t" } }))->qunImage();
    ASSERT_TRUE(view);
    ASSERT_TRUE(JZQunModel::placeholderImage()) << "the \"moren\" resource";
    testing_support::settle(2);
    EXPECT_EQ(view->image(), JZQunModel::placeholderImage()) << "\"(null)\" is no address to load";
}

constexpr const char* kList = "qrcode/listCode.do";

class QrList : public QrScreenTest {
protected:
    static std::vector<std::string> titles(const std::shared_ptr<prospecting::QunListController>& screen)
    {
        std::vector<std::string> shown;
        auto table = screen->mytableView();
        for (NSInteger row = 0; row < table->numberOfRowsInSection(0); ++row) {
            auto cell = screen->tableViewCellForRowAtIndexPath(table, { 0, row });
            shown.push_back(cell->textLabel()->text());
        }
        return shown;
    }
    static std::vector<std::string> serverTitles(const std::string& type)
    {
        std::vector<std::string> stored;
        for (const auto& code : codes(type))
            stored.push_back(code.title);
        return stored;
    }
};

// Replies that bring no rows: the server's words, "出错" for a failure or a reply that is no
// envelope, and nothing for another status or a mistyped list. No type is refused unsent.
TEST_F(QrList, RefusalsFailuresOddRepliesAndNoTypeLeaveAnEmptyListWithTheRightMessage)
{
    server().fail(kList, Failure::refuse("今天已关闭"));
    auto screen = push(RQHuFenController::create());
    EXPECT_TRUE(waitForHud(screen->view(), "今天已关闭"));
    EXPECT_TRUE(screen->listArray().empty());
    const std::pair<Failure, const char*> replies[] = { { Failure::withBody(R"({"status":2,"msg":"x"})"), "" },
        { Failure::withBody(R"({"status":1,"info":{"listItems":"none"}})"), "" }, { Failure::withBody(R"({"status":1,"info":"none"})"), "" },
        { Failure::withBody(R"([{"status":1,"info":{"listItems":[{"title":"x"}]}}])"), "出错" }, { Failure::http(500), "出错" } };
    for (const auto& [failure, hud] : replies) {
        server().fail(kList, failure);
        clearHuds();
        clearLog();
        auto sent = requestCount(kList);
        screen->viewWillAppear(false);
        ASSERT_TRUE(waitForRequests(kList, sent + 1));
        ASSERT_TRUE(*hud ? waitForHud(screen->view(), hud) : waitFor([&] { return loggedContaining("status"); })) << failure.describe();
        testing_support::settle(1);
        EXPECT_EQ(hudTexts(screen->view()).size(), *hud ? 1u : 0u) << failure.describe();
        EXPECT_TRUE(screen->listArray().empty()) << failure.describe();
    }

    auto before = requestCount(kList);
    clearHuds();
    screen->getHuFenListType(std::nullopt);
    EXPECT_EQ(lastHud(screen->view()), "类型不对");
    testing_support::settle(1);
    EXPECT_EQ(requestCount(kList), before);
}

// A reply still on its way when the list appears again must not add its rows to the new ones.
TEST_F(QrList, LateReplyOfAnEarlierAppearanceAddsNoDuplicates)
{
    auto held = Failure::held();
    held.times = 1;
    server().fail(kList, held);
    auto screen = push(RQQunListController::create());
    ASSERT_TRUE(waitForRequests(kList, 1));

    screen->viewWillAppear(false);
    ASSERT_TRUE(waitForRequests(kList, 2));
    auto expected = serverTitles("3").size();
    ASSERT_TRUE(waitFor([&] { return screen->listArray().size() == expected; }));

    clearLog();
    server().release(kList);
    ASSERT_TRUE(waitFor([&] { return loggedContaining("listItems"); }));
    testing_support::settle(1);
    EXPECT_EQ(screen->listArray().size(), expected);
    layout(screen);
    EXPECT_EQ(titles(screen), serverTitles("3"));
}

constexpr const char* kDetail = "qrcode/getDetail.do";
constexpr const char* kStep = "qrcode/getChangeDetail.do";

class QrDetail : public QrScreenTest {
protected:
    // The record a list row would hand over: the code at `index` of the first page.
    std::shared_ptr<JZQunModel> listed(std::size_t index)
    {
        auto code = codes().at(index);
        return JZQunModel::initWithDic(Value::dictionary({ { "qrcodeId", code.id }, { "title", code.title },
            { "position", static_cast<long long>(index) }, { "qrcodeImg", "" } }));
    }
    // Pushes the detail of `model` and waits until the first reply has been handled.
    std::shared_ptr<JZQunDetailController> open(std::shared_ptr<JZQunModel> model)
    {
        auto detail = JZQunDetailController::create();
        detail->setModel(std::move(model));
        detail->setJumpeType("qun");
        push(detail);
        EXPECT_TRUE(answered(kDetail, 1));
        return detail;
    }
    // Taps a step button and waits until its reply has been handled.
    void step(const std::shared_ptr<JZQunDetailController>& detail, bool next)
    {
        auto before = requestCount(kStep);
        clearLog();
        tap(next ? detail->nextButton() : detail->framButton());
        ASSERT_TRUE(answered(kStep, before + 1));
    }
    static std::vector<std::shared_ptr<UICopyLabel>> lines(const std::shared_ptr<JZQunDetailController>& detail)
    {
        return ofType<UICopyLabel>(detail->backSV()->subviews());
    }
    static auto presses(const std::shared_ptr<UIView>& view) { return ofType<UILongPressGestureRecognizer>(view->gestureRecognizers()); }
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
};

// The publish script shows a detail and steps to the next code; here the requests, the steps back
// and the server's refusal before the first code.
TEST_F(QrDetail, ShowsTheCodeAndItsLinesAndStepsFromTheRecordOnShow)
{
    auto all = codes();
    ASSERT_GE(all.size(), 3u);
    auto detail = open(listed(1));
    auto sent = server().requests(kDetail).back();
    EXPECT_EQ(sent.params.at("id"), std::to_string(all[1].id));
    EXPECT_EQ(sent.params.at("position"), "1");
    auto shown = lines(detail);
    ASSERT_EQ(shown.size(), 5u);
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

TEST_F(QrDetail, LongPressSavesOnlyALoadedPictureOnlyOnceAndHonestly)
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
    ASSERT_TRUE(waitFor([&] {
        auto view = detail->model()->qunImage();
        return view->image() && view->image() != JZQunModel::placeholderImage();
    }));
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

    // An album that refuses is reported as an error.
    for (bool denied : { true, false }) {
        uikit::album::reset();
        uikit::album::setFolder(home_.pathFor("Media/Refused"));
        denied ? uikit::album::setAccessDenied(true) : uikit::album::setWriteFailure(true);
        clearHuds();
        longPress(detail);
        ASSERT_TRUE(waitForHud(detail->view(), "保存时出错")) << denied;
        EXPECT_TRUE(uikit::album::imagePaths().empty());
    }
}

constexpr const char* kDistricts = "district/listSubDistrict.do";
constexpr const char* kSave = "qrcode/saveCode.do";

class QrForm : public QrScreenTest {
protected:
    template <class Form>
    std::shared_ptr<Form> openForm() { return layout(push(Form::create())); }
    // Taps a row of the field section (the last one).
    static void tapRow(const std::shared_ptr<RQPublishQunController>& form, NSInteger row)
    {
        form->mytableView()->userSelectRowAtIndexPath({ form->mytableView()->numberOfSections() - 1, row });
    }
    // Opens the province picker (row 2) or the city picker (row 3) and chooses row `row`.
    void pickProvince(const std::shared_ptr<RQPublishQunController>& form, NSInteger row, bool city = false)
    {
        tapRow(form, city ? 3 : 2);
        ASSERT_TRUE(waitFor([&] { return (city ? form->listType() : form->listShu()) != nullptr; }));
        choose(city ? form->listType() : form->listShu(), row);
    }
    void pickPicture(const std::shared_ptr<RQPublishQunController>& form)
    {
        form->erWeiMa()->addPicture1();
        auto sheet = std::dynamic_pointer_cast<UIActionSheet>(uikit::topAlert());
        ASSERT_TRUE(sheet);
        sheet->tapButtonAtIndex(0);
        ASSERT_TRUE(waitFor([&] { return uikit::imagePicker::topPicker() && uikit::imagePicker::topPicker()->isOnScreen(); }));
        auto picture = UIImage::imageWithContentsOfFile((appResourceDir() / "toutou@2x.png").string());
        ASSERT_TRUE(uikit::imagePicker::topPicker()->pickImage(picture));
        ASSERT_TRUE(waitFor([&] { return form->erWeiMa()->contentYes() && !form->presentedViewController(); }));
    }
    void fillAll(const std::shared_ptr<RQPublishQunController>& form)
    {
        form->titleFeild()->setText("同城交友群");
        pickProvince(form, 0);
        pickProvince(form, 0, true);
        form->quZhuLiaoTianFeild()->setText("qm_10086");
        form->jianJie()->setText("每天分享");
        pickPicture(form);
    }
    std::string submitRefusal(const std::shared_ptr<RQPublishQunController>& form)
    {
        clearHuds();
        tap(form->submitButton());
        return lastHud(form->view());
    }
};

TEST_F(QrForm, ProvinceThenCityAndTheirMishaps)
{
    auto form = openForm<RQPublishQunController>();
    // The city before any province asks for nothing.
    tapRow(form, 3);
    EXPECT_EQ(lastHud(form->view()), "获取数据失败");
    EXPECT_EQ(requestCount(kDistricts), 0u);

    pickProvince(form, 0);
    ASSERT_TRUE(form->shengId());
    std::string province = *form->shengId();
    pickProvince(form, 1, true);
    EXPECT_EQ(server().requests(kDistricts).back().params.at("parentId"), province);
    ASSERT_TRUE(form->shiId());
    std::string city = *form->shiId();

    // The same province again keeps its city; another one asks for a city of its own.
    pickProvince(form, 0);
    EXPECT_EQ(form->shiId(), city);
    pickProvince(form, 1);
    EXPECT_NE(form->shengId(), province);
    EXPECT_FALSE(form->shiId());
    EXPECT_EQ(form->quYuLabel()->text(), "请选择");

    // A refused region list shows the server's words; a failed one "出错".
    server().fail(kDistricts, Failure::refuse("地区维护中"));
    tapRow(form, 2);
    EXPECT_TRUE(waitForHud(form->view(), "地区维护中"));
    server().fail(kDistricts, Failure::http(500));
    tapRow(form, 2);
    EXPECT_TRUE(waitForHud(form->view(), "出错"));
}

TEST_F(QrForm, ChecksRunInOrderWithTheirLimits)
{
    auto form = openForm<JQUpdateQunController>();
    EXPECT_EQ(submitRefusal(form), "填写标题");
    form->titleFeild()->setText(std::string(21, 'a'));
    EXPECT_EQ(submitRefusal(form), "标题长度要小于20个字符");
    form->titleFeild()->setText(std::string(20, 'a'));
    EXPECT_EQ(submitRefusal(form), "选择省");
    form->titleFeild()->setText("群群群群群群群群群群群群群群群群群群群群");
    EXPECT_EQ(submitRefusal(form), "选择省") << "twenty Chinese characters are twenty";
    pickProvince(form, 0);
    EXPECT_EQ(submitRefusal(form), "选择市");
    pickProvince(form, 0, true);
    EXPECT_EQ(submitRefusal(form), "请填写聊天号");
    form->quZhuLiaoTianFeild()->setText(std::string(51, '1'));
    EXPECT_EQ(submitRefusal(form), "聊天号长度要小于50个字符");
    form->quZhuLiaoTianFeild()->setText(std::string(50, '1'));
    EXPECT_EQ(submitRefusal(form), "填写简介");
    form->jianJie()->setText(std::string(201, 'x'));
    EXPECT_EQ(submitRefusal(form), "简介长度要小于200个字符");
    form->jianJie()->setText(std::string(200, 'x'));
    EXPECT_EQ(submitRefusal(form), "上传群二维码");
    testing_support::settle(2);
    EXPECT_EQ(requestCount(kSave), 0u) << "no refused form is sent";
    EXPECT_EQ(form->quZhuLiaoTianFeild()->text(), std::string(50, '1')) << "inputs are kept";

    pickPicture(form);
    EXPECT_FALSE(form->firstRefusal());
}

TEST_F(QrForm, RefusedOrFailedUploadKeepsTheFormFilled)
{
    auto form = openForm<JQUpdateQunController>();
    fillAll(form);
    server().fail(kSave, Failure::refuse("今天已经更新过了"));
    tap(form->submitButton());
    ASSERT_TRUE(waitForHud(form->view(), "今天已经更新过了"));
    EXPECT_EQ(navigation->topViewController(), form);
    EXPECT_EQ(hudTexts(form->view()), (std::vector<std::string> { "今天已经更新过了" })) << "the waiting HUD is gone";
    auto request = server().requests(kSave).back();
    EXPECT_EQ(request.params.at("type"), "2");
    EXPECT_EQ(request.params.at("clientId"), DVUUID::uuidForDevice());
    ASSERT_EQ(request.files.size(), 1u);
    EXPECT_EQ(request.files[0].name, "imgpath");

    // A refusal without a message says that it failed.
    for (const char* body : { R"({"status":0})", R"({"status":3,"msg":null})" }) {
        clearHuds();
        server().fail(kSave, Failure::withBody(body));
        tap(form->submitButton());
        ASSERT_TRUE(waitForHud(form->view(), "出错")) << body;
        EXPECT_EQ(navigation->topViewController(), form);
    }

    clearHuds();
    auto sent = requestCount(kSave);
    server().fail(kSave, Failure::http(500));
    tap(form->submitButton());
    ASSERT_TRUE(waitFor([&] { return requestCount(kSave) == sent + 1 && hudTexts(form->view()).empty(); }));
    EXPECT_EQ(navigation->topViewController(), form);
    EXPECT_EQ(form->titleFeild()->text(), "同城交友群");
}

} // namespace

} // namespace app::test
