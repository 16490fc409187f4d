// The record initializers.
#include "app/prospecting/RQPhoneModel.h"

#include "platform/foundation/NSString.h"

namespace prospecting {

std::string textOf(const Value& value) { return NSString::stringWithFormat("%@", value); }

std::string displayText(const std::optional<std::string>& text)
{
    return text ? *text : NSString::stringWithFormat("%@", Value());
}

} // namespace prospecting

using prospecting::textOf;

std::shared_ptr<RQPhoneModel> RQPhoneModel::initWithDic(const Value& dic)
{
    auto model = std::make_shared<RQPhoneModel>();
    model->setPhoneName(textOf(dic["phone"]));
    model->setPhoneNum(textOf(dic["phone"]));
    return model;
}

std::shared_ptr<RQPhoneModel> RQPhoneModel::initWithHuFenDic(const Value& dic)
{
    auto model = std::make_shared<RQPhoneModel>();
    model->setPhoneName(textOf(dic["phone"]));
    return model;
}

std::shared_ptr<RQPhoneModel> RQPhoneModel::initWithShengDic(const Value& dic)
{
    auto model = std::make_shared<RQPhoneModel>();
    model->setShengId(textOf(dic["id"]));
    model->setShengName(textOf(dic["name"]));
    return model;
}

std::shared_ptr<RQPhoneModel> RQPhoneModel::initWithHangYeDic(const Value& dic)
{
    auto model = std::make_shared<RQPhoneModel>();
    model->setHangName(textOf(dic["computerName"]));
    model->setHangId(textOf(dic["categoryId"]));
    model->setHangPhone(textOf(dic["phone"]));
    model->setAreaId(textOf(dic["area_id"]));
    return model;
}

std::shared_ptr<RQPhoneModel> RQPhoneModel::initWithHangClassDic(const Value& dic)
{
    auto model = std::make_shared<RQPhoneModel>();
    model->setCategoryId(textOf(dic["categoryId"]));
    model->setLeiName(textOf(dic["name"]));
    return model;
}
