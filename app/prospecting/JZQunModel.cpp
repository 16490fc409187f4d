// Building a QR-code record from a reply item, with its picture's image view.
#include "app/prospecting/JZQunModel.h"

#include "image/UIImageView+WebCache.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UIScreen.h"

std::shared_ptr<JZQunModel> JZQunModel::initWithDic(const Value& dic)
{
    auto model = std::make_shared<JZQunModel>();
    auto text = [&](const char* key) { return dic[key].description(); };
    model->qunTitle_ = text("title");
    model->qunId_ = text("qrcodeId");
    model->qunType_ = text("categoryName");
    model->qunArear_ = text("areaName");
    model->qunIgUrl_ = text("qrcodeImg");
    model->qunNumber_ = text("groupaccount");
    model->qunUpTime_ = text("fAddtime");
    model->qunMiaoShu_ = text("descriptions");
    model->qunZhuNumber_ = text("account");
    model->qunTypeId_ = text("type");
    model->qunArearId_ = text("areaId");
    model->position_ = dic["position"].integerValue();

    const Value& picture = dic["qrcodeImg"];
    if (picture.isString() && picture.asString().empty())
        return model;
    double side = UIScreen::mainScreen()->bounds().size.width - 20;
    auto imageView = UIImageView::create(CGRectMake(10, 10, side, side));
    imageView->setClipsToBounds(true);
    wi_setImageWithURL(imageView, NSURL::URLWithString(picture.description()), placeholderImage());
    model->qunImage_ = std::move(imageView);
    return model;
}

UIImageRef JZQunModel::placeholderImage() { return UIImage::imageNamed("moren"); }
