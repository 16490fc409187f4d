// The QR-code detail screen's requests (the record, its neighbours) and saving the picture.
#include "app/prospecting/JZQunDetailController.h"

#include "app/ServerRoots.h"
#include "app/ZHHttpTool.h"
#include "platform/foundation/NSLog.h"
#include "platform/uikit/PhotoAlbum.h"

namespace {

constexpr const char* kDetail = "qrcode/getDetail.do";
constexpr const char* kStep = "qrcode/getChangeDetail.do";

} // namespace

void JZQunDetailController::getQunDetail()
{
    if (!model_)
        return;
    request(kDetail, Value::dictionary({ { "id", model_->qunId() }, { "position", std::to_string(model_->position()) } }));
}

void JZQunDetailController::changQunArray(const std::shared_ptr<UIButton>& sender)
{
    if (!sender)
        return;
    if (sender->tag() == 0)
        getQunNextDetail("0");
    else if (sender->tag() == 1)
        getQunNextDetail("1");
}

void JZQunDetailController::getQunNextDetail(const std::string& flag)
{
    if (!model_)
        return;
    request(kStep, Value::dictionary({ { "id", model_->qunId() }, { "flag", flag }, { "position", std::to_string(model_->position()) } }));
}

void JZQunDetailController::request(const std::string& path, const Value& params)
{
    NSLog("param:%@", params);
    auto self = sharedAs<JZQunDetailController>();
    ZHHttpTool::postWithURL(app::dataServerURL(path), params, [self](const Value& reply) { self->detailArrived(reply); },
        [](const NSErrorRef& error) { NSLog("%@", error); });
}

void JZQunDetailController::detailArrived(const Value& reply)
{
    NSLog("%@", reply);
    if (app::replyStatus(reply) != 1) {
        auto alert = UIAlertView::initWithTitle("提示", app::refusalText(reply),
            std::static_pointer_cast<UIAlertViewDelegate>(sharedAs<JZQunDetailController>()), "确定");
        alert->show();
        return;
    }
    const Value& info = app::replyInfo(reply);
    if (info.isDictionary())
        model_ = JZQunModel::initWithDic(info);
    initMyView();
}

// The picture goes to the album only once it has arrived (the placeholder is no code), and the
// outcome is told when the album has answered.
void JZQunDetailController::saveImage(const std::shared_ptr<UIGestureRecognizer>& recognizer)
{
    if (!recognizer || recognizer->state() != UIGestureRecognizerStateBegan)
        return;
    const auto& imageView = model_ ? model_->qunImage() : nullptr;
    UIImageRef image = imageView ? imageView->image() : nullptr;
    if (!image || image == JZQunModel::placeholderImage())
        return PGProgressHUD::showSuccess("保存时出错", view());
    if (saving_)
        return;
    saving_ = PGProgressHUD::showMessag("保存中...", view());
    std::weak_ptr<JZQunDetailController> weak = sharedAs<JZQunDetailController>();
    UIImageWriteToSavedPhotosAlbum(image, [weak](const UIImageRef&, const NSErrorRef& error, void*) {
        if (auto self = weak.lock())
            self->imageSaved(error);
    }, nullptr);
}

void JZQunDetailController::imageSaved(const NSErrorRef& error)
{
    if (saving_)
        saving_->removeFromSuperview();
    saving_.reset();
    if (error) {
        NSLog("%@", error);
        return PGProgressHUD::showSuccess("保存时出错", view());
    }
    PGProgressHUD::showSuccess("二维码已保存到相册", view());
}
