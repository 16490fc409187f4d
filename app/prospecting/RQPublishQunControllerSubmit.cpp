// The QR-code forms' requests: the province and city pickers, the field checks and the
// multipart upload of the code with its picture.
#include "app/DVUUID.h"
#include "app/ServerRoots.h"
#include "app/ZHHttpTool.h"
#include "app/prospecting/RQPublishQunController.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/graphics/UIImage.h"
#include "platform/uikit/UIScreen.h"

namespace {

constexpr const char* kDistricts = "district/listSubDistrict.do";
constexpr const char* kSave = "qrcode/saveCode.do";

bool filled(const std::optional<std::string>& id) { return id && !id->empty(); }

} // namespace

void RQPublishQunController::showMessage(const std::string& text) { PGProgressHUD::showSuccess(text, view()); }

void RQPublishQunController::requestRegions(const Value& params, std::function<void(const Self&, const Value&)> use)
{
    NSLog("param:%@", params);
    auto self = sharedAs<RQPublishQunController>();
    auto success = [self, use = std::move(use)](const Value& reply) {
        NSLog("%@", reply);
        auto status = app::replyStatus(reply);
        if (status == 1) {
            const Value& info = app::replyInfo(reply);
            if (info.isArray())
                use(self, info);
            return;
        }
        if (status == 0)
            self->showMessage(app::refusalText(reply));
    };
    ZHHttpTool::postWithURL(app::dataServerURL(kDistricts), params, std::move(success), [self](const NSErrorRef&) {
        self->showMessage("出错");
    });
}

void RQPublishQunController::getAleiaMsg()
{
    requestRegions(Value::dictionary(), [](const Self& self, const Value& info) {
        self->ariaArray_ = info;
        self->addFirendAction(info);
    });
}

void RQPublishQunController::getTypeMsg()
{
    if (!shengId_)
        return showMessage("获取数据失败");
    requestRegions(Value::dictionary({ { "parentId", *shengId_ } }), [](const Self& self, const Value& info) { self->zhanShiCity(info); });
}

std::shared_ptr<YDMoreStytleView> RQPublishQunController::regionPicker(const Value& list)
{
    auto picker = YDMoreStytleView::initWithFrame(UIScreen::mainScreen()->bounds(), list, list, "leixing");
    view()->addSubview(picker);
    return picker;
}

void RQPublishQunController::addFirendAction(const Value& list)
{
    if (listShu_)
        return;
    listShu_ = regionPicker(list);
    std::weak_ptr<RQPublishQunController> weak = sharedAs<RQPublishQunController>();
    listShu_->setTapActionBlock([weak](const std::string& name, const std::string& identifier) {
        if (auto self = weak.lock())
            self->provinceChosen(name, identifier);
    });
}

void RQPublishQunController::zhanShiCity(const Value& list)
{
    if (listType_)
        return;
    listType_ = regionPicker(list);
    std::weak_ptr<RQPublishQunController> weak = sharedAs<RQPublishQunController>();
    listType_->setTapActionBlock([weak](const std::string& name, const std::string& identifier) {
        if (auto self = weak.lock())
            self->cityChosen(name, identifier);
    });
}

// A tap beside the picker reports an empty id: that closes the picker and keeps the choice.
void RQPublishQunController::provinceChosen(const std::string& name, const std::string& identifier)
{
    if (listShu_)
        listShu_->removeFromSuperview();
    listShu_.reset();
    if (identifier.empty())
        return;
    qunType_->setText(name);
    qunType_->setTextColor(UIColor::blackColor());
    // A city belongs to its province: another province asks for its city again.
    if (shengId_ != identifier) {
        shiId_.reset();
        quYuLabel_->setText("请选择");
        quYuLabel_->setTextColor(UIColor::colorWithRed(114 / 255.0, 114 / 255.0, 114 / 255.0, 0.3));
    }
    shengId_ = identifier;
}

void RQPublishQunController::cityChosen(const std::string& name, const std::string& identifier)
{
    if (listType_)
        listType_->removeFromSuperview();
    listType_.reset();
    if (identifier.empty())
        return;
    shiId_ = identifier;
    quYuLabel_->setText(name);
    quYuLabel_->setTextColor(UIColor::blackColor());
}

std::optional<std::string> RQPublishQunController::firstRefusal() const
{
    const std::string& title = titleFeild_->text();
    const std::string& account = quZhuLiaoTianFeild_->text();
    const std::string& description = jianJie_->text();
    if (title.empty())
        return "填写标题";
    if (NSString::length(title) > 20)
        return "标题长度要小于20个字符";
    if (filled(shengId_) && !filled(shiId_))
        return "选择市";
    if (!filled(shengId_))
        return "选择省";
    if (account.empty())
        return "请填写聊天号";
    if (NSString::length(account) > 50)
        return "聊天号长度要小于50个字符";
    if (description.empty())
        return "填写简介";
    if (NSString::length(description) > 200)
        return "简介长度要小于200个字符";
    if (!erWeiMa_->contentYes())
        return "上传群二维码";
    return std::nullopt;
}

void RQPublishQunController::submitGoPlany()
{
    if (auto refusal = firstRefusal())
        return showMessage(*refusal);

    sending_ = PGProgressHUD::showMessag("提交中", view());
    Value params = Value::dictionary({ { "clientId", DVUUID::uuidForDevice() }, { "title", titleFeild_->text() },
        { "area_id", *shiId_ }, { "account", quZhuLiaoTianFeild_->text() }, { "description", jianJie_->text() },
        { "type", formKind().type } });
    std::vector<std::shared_ptr<ZHFormData>> parts;
    if (auto image = erWeiMa_->image()) {
        // JPEG bytes under the PNG name and type: the server reads the bytes, not the label.
        auto part = ZHFormData::create();
        part->setData(UIImageJPEGRepresentation(image, 0.5));
        part->setName("imgpath");
        part->setFilename("fdsfds.png");
        part->setMimeType("image/png");
        parts.push_back(std::move(part));
    }
    NSLog("param:%@", params);
    auto self = sharedAs<RQPublishQunController>();
    ZHHttpTool::postWithURL(app::dataServerURL(kSave), params, parts, [self](const Value& reply) { self->submitted(reply); },
        [self](const NSErrorRef& error) {
            NSLog("errror:%@", error);
            if (self->sending_)
                self->sending_->removeFromSuperview();
            self->sending_.reset();
        });
}

void RQPublishQunController::submitted(const Value& reply)
{
    if (sending_)
        sending_->removeFromSuperview();
    sending_.reset();
    if (app::replyStatus(reply) != 1)
        return showMessage(app::refusalText(reply));
    showMessage("提交成功");
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}
