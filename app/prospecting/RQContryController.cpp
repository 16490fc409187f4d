// The number-range lead import screens.
#include "app/prospecting/RQContryController.h"

#include "app/DVUUID.h"
#include "platform/foundation/NSString.h"

void RQContryController::addPickerBoxes(const std::shared_ptr<UIView>& content)
{
    shengBtn_.reset();
    shiBtn_.reset();
    haoBtn_ = pickerBox(boxFrame(0, 0), "号段", 2, haoTitle_);
    content->addSubview(haoBtn_);
    content->addSubview(sizeBox(boxFrame(1, 0)));
}

void RQContryController::getPhoneNumbers(std::int32_t page, const Text&, const Text&, const std::string& pageSize)
{
    if (!haoDuanId())
        return showMessage("未选择号段");
    auto size = NSString::integerValue(pageSize);
    if (size > 50 || size < 1)
        return showMessage("请求数量要小于50大于1");
    requestPhones(Value::dictionary({
        { "sectionNo", *haoDuanId() },
        { "pageSize", pageSize },
        { "page", NSString::stringWithFormat("%d", page) },
        { "clientId", DVUUID::uuidForDevice() },
    }));
}
