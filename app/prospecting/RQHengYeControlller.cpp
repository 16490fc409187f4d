// The industry source screen: its form and the contacts screen it opens.
#include "app/prospecting/RQHengYeControlller.h"

#include "app/DVUUID.h"
#include "app/prospecting/RQCustomMsgController.h"

Value RQHengYeControlller::form() const
{
    Value params = Value::dictionary();
    auto clientId = DVUUID::uuidForDevice();
    if (!clientId.empty())
        params.set("clientId", clientId);
    return params;
}

std::shared_ptr<UIViewController> RQHengYeControlller::screenFor(const RQPhoneModel& record) const
{
    auto screen = RQCustomMsgController::create();
    screen->setHangYeId(record.categoryId());
    return screen;
}
