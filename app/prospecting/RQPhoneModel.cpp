// The record initializers.
#include "app/prospecting/RQPhoneModel.h"

#include <algorithm>

#include "platform/foundation/NSString.h"

namespace prospecting {

std::string textOf(const Value& value) { return NSString::stringWithFormat("%@", value); }

bool isPhoneNumberText(std::string_view text)
{
    if (text.starts_with('+'))
        text.remove_prefix(1);
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (text.empty() || !digit(text.front()) || !digit(text.back()))
        return false;
    return std::all_of(text.begin(), text.end(), [&](char c) { return digit(c) || c == ' ' || c == '-'; });
}

std::optional<std::string> phoneTextOf(const Value& value)
{
    // Only a text or a whole number can be a phone number: true, 1e20 or an object read as
    // text would give "1", digits or braces that no one can call.
    if (!value.isString() && !value.isInteger())
        return std::nullopt;
    auto text = textOf(value);
    if (!isPhoneNumberText(text))
        return std::nullopt;
    return text;
}

std::string displayText(const std::optional<std::string>& text)
{
    return text ? *text : NSString::stringWithFormat("%@", Value());
}

} // namespace prospecting

using prospecting::phoneTextOf;
using prospecting::textOf;

std::shared_ptr<RQPhoneModel> RQPhoneModel::initWithDic(const Value& dic)
{
    auto model = std::make_shared<RQPhoneModel>();
    model->setPhoneName(phoneTextOf(dic["phone"]));
    model->setPhoneNum(phoneTextOf(dic["phone"]));
    return model;
}

std::shared_ptr<RQPhoneModel> RQPhoneModel::initWithHuFenDic(const Value& dic)
{
    auto model = std::make_shared<RQPhoneModel>();
    model->setPhoneName(phoneTextOf(dic["phone"]));
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
    model->setHangPhone(phoneTextOf(dic["phone"]));
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
