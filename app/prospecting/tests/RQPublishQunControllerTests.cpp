// The QR-code forms against our data server: the province and city pickers, every field check in
// its order with its limits, the multipart upload with its picture, the refusals that keep the
// form, and the picture chooser.
#include "app/DVUUID.h"
#include "app/prospecting/RQPublishQunController.h"
#include "app/prospecting/tests/JZQunTestSupport.h"

using dataserver::Failure;

namespace app::test {

namespace {

constexpr const char* kDistricts = "district/listSubDistrict.do";
constexpr const char* kSave = "qrcode/saveCode.do";

class QrForm : public QrScreenTest {
protected:
    template <class Form>
    std::shared_ptr<Form> openForm()
    {
        auto form = push(Form::create());
        layoutTable(form);
        return form;
    }
    // The section of the field rows.
    static NSInteger fields(const std::shared_ptr<RQPublishQunController>& form)
    {
        return form->mytableView()->numberOfSections() - 1;
    }
    void tapRow(const std::shared_ptr<RQPublishQunController>& form, NSInteger row)
    {
        form->mytableView()->userSelectRowAtIndexPath({ fields(form), row });
    }
    void pickProvince(const std::shared_ptr<RQPublishQunController>& form, NSInteger row)
    {
        tapRow(form, 2);
        ASSERT_TRUE(waitFor([&] { return form->listShu() != nullptr; }));
        choose(form->listShu(), row);
    }
    void pickCity(const std::shared_ptr<RQPublishQunController>& form, NSInteger row)
    {
        tapRow(form, 3);
        ASSERT_TRUE(waitFor([&] { return form->listType() != nullptr; }));
        choose(form->listType(), row);
    }
    void pickPicture(const std::shared_ptr<RQPublishQunController>& form)
    {
        form->erWeiMa()->addPicture1();
        ASSERT_TRUE(topSheet());
        topSheet()->tapButtonAtIndex(0);
        ASSERT_TRUE(waitFor([&] { return uikit::imagePicker::topPicker() && uikit::imagePicker::topPicker()->isOnScreen(); }));
        ASSERT_TRUE(uikit::imagePicker::topPicker()->pickImage(picture()));
        ASSERT_TRUE(waitFor([&] { return form->erWeiMa()->contentYes() && !form->presentedViewController(); }));
    }
    void fillAll(const std::shared_ptr<RQPublishQunController>& form)
    {
        form->titleFeild()->setText("同城交友群");
        pickProvince(form, 0);
        pickCity(form, 0);
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
    EXPECT_FALSE(form->listShu());
    ASSERT_TRUE(form->shengId());
    std::string province = *form->shengId();
    EXPECT_EQ(form->qunType()->text(), form->ariaArray()[0]["name"].description());

    pickCity(form, 1);
    auto cityRequest = server().requests(kDistricts).back();
    EXPECT_EQ(cityRequest.params.at("parentId"), province);
    ASSERT_TRUE(form->shiId());
    std::string city = *form->shiId();
    EXPECT_NE(form->quYuLabel()->text(), "请选择");

    // A tap beside the picker closes it and keeps the choice.
    tapRow(form, 2);
    ASSERT_TRUE(waitFor([&] { return form->listShu() != nullptr; }));
    form->listShu()->removeMyOfView(nullptr);
    EXPECT_FALSE(form->listShu());
    EXPECT_EQ(form->shengId(), province);
    EXPECT_EQ(form->shiId(), city);

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
    std::string chinese;
    for (int i = 0; i < 20; ++i)
        chinese += "群";
    form->titleFeild()->setText(chinese);
    EXPECT_EQ(submitRefusal(form), "选择省") << "twenty Chinese characters are twenty";
    pickProvince(form, 0);
    EXPECT_EQ(submitRefusal(form), "选择市");
    pickCity(form, 0);
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

TEST_F(QrForm, UploadCarriesTheFieldsAndThePictureThenPops)
{
    auto form = openForm<RQPublishQunController>();
    fillAll(form);
    std::string city = *form->shiId();
    tap(form->submitButton());
    EXPECT_EQ(lastHud(form->view()), "提交中");
    ASSERT_TRUE(waitFor([&] { return navigation->topViewController() != form; }));
    EXPECT_EQ(lastHud(form->view()), "提交成功");

    auto sent = server().requests(kSave);
    ASSERT_EQ(sent.size(), 1u);
    const auto& params = sent[0].params;
    EXPECT_EQ(params.at("clientId"), DVUUID::uuidForDevice());
    EXPECT_EQ(params.at("title"), "同城交友群");
    EXPECT_EQ(params.at("area_id"), city);
    EXPECT_EQ(params.at("account"), "qm_10086");
    EXPECT_EQ(params.at("description"), "每天分享");
    EXPECT_EQ(params.at("type"), "3");
    ASSERT_EQ(sent[0].files.size(), 1u);
    EXPECT_EQ(sent[0].files[0].name, "imgpath");
    EXPECT_GT(sent[0].files[0].size, 0u);
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
    EXPECT_EQ(server().requests(kSave).back().params.at("type"), "2");

    // A refusal without a message says that it failed.
    for (const char* body : { R"({"status":0})", R"({"status":3,"msg":null})" }) {
        clearHuds();
        server().fail(kSave, Failure::withBody(body));
        tap(form->submitButton());
        ASSERT_TRUE(waitForHud(form->view(), "出错")) << body;
        EXPECT_EQ(navigation->topViewController(), form);
    }
    clearHuds();
    server().fail(kDistricts, Failure::withBody(R"({"status":0})"));
    tapRow(form, 2);
    EXPECT_TRUE(waitForHud(form->view(), "出错"));

    clearHuds();
    auto sent = requestCount(kSave);
    server().fail(kSave, Failure::http(500));
    tap(form->submitButton());
    ASSERT_TRUE(waitFor([&] { return requestCount(kSave) == sent + 1 && hudTexts(form->view()).empty(); }));
    EXPECT_EQ(navigation->topViewController(), form);
    EXPECT_EQ(form->titleFeild()->text(), "同城交友群");
}

// The picture chooser: its sheet, the album or camera picker by device, the original picture
// kept (not the crop) in place of the earlier one, and cancelling.
TEST_F(QrForm, ChooserTakesTheOriginalPictureFromTheAlbumOrTheCamera)
{
    auto form = openForm<RQPublishQunController>();
    auto chooser = form->erWeiMa();
    auto openPicker = [&](NSInteger button) -> std::shared_ptr<UIImagePickerController> {
        chooser->gestureRecognizers().at(0)->fire(UIGestureRecognizerStateEnded);
        auto sheet = topSheet();
        if (!sheet)
            return nullptr;
        EXPECT_EQ(sheet->title(), "请上传身份证正面照");
        EXPECT_EQ(sheet->buttonTitles(), (std::vector<std::string> { "相册", "拍一张", "取消" }));
        sheet->tapButtonAtIndex(button);
        if (button == 2)
            return nullptr;
        waitFor([&] { return uikit::imagePicker::topPicker() && uikit::imagePicker::topPicker()->isOnScreen(); });
        return uikit::imagePicker::topPicker();
    };
    EXPECT_FALSE(openPicker(2));
    testing_support::settle(2);
    EXPECT_FALSE(form->presentedViewController());
    EXPECT_FALSE(chooser->contentYes());

    auto album = openPicker(0);
    ASSERT_TRUE(album);
    EXPECT_EQ(album->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);
    EXPECT_FALSE(album->allowsEditing());
    auto first = picture();
    ASSERT_TRUE(album->pickImage(first));
    ASSERT_TRUE(waitFor([&] { return !form->presentedViewController(); }));
    EXPECT_EQ(chooser->image(), first);
    EXPECT_TRUE(chooser->contentYes());
    const CGRect thumbnail = chooser->frame();

    // Without a camera the album opens, with editing; the original picture, not the crop, replaces
    // the first one where it was.
    uikit::album::setSourceAvailable(UIImagePickerControllerSourceTypeCamera, false);
    auto library = openPicker(1);
    ASSERT_TRUE(library);
    EXPECT_EQ(library->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);
    EXPECT_TRUE(library->allowsEditing());
    auto second = picture("sanjiao@2x.png");
    ASSERT_TRUE(library->pickImage(second, CGRectMake(0, 0, 4, 4)));
    ASSERT_TRUE(waitFor([&] { return chooser->image() == second && !form->presentedViewController(); }));
    EXPECT_EQ(chooser->frame(), thumbnail);

    // With one the camera opens; cancelling keeps the picture.
    uikit::album::setSourceAvailable(UIImagePickerControllerSourceTypeCamera, true);
    auto camera = openPicker(1);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->sourceType(), UIImagePickerControllerSourceTypeCamera);
    EXPECT_TRUE(camera->allowsEditing());
    ASSERT_TRUE(camera->cancel());
    ASSERT_TRUE(waitFor([&] { return !form->presentedViewController(); }));
    EXPECT_EQ(chooser->image(), second);
    EXPECT_TRUE(chooser->contentYes());
}

} // namespace

} // namespace app::test
