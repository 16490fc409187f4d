// The region source screen: the contacts screen it opens.
#include "app/prospecting/RQQuYuController.h"

#include "app/prospecting/RQCustomMsgController.h"

std::shared_ptr<UIViewController> RQQuYuController::screenFor(const RQPhoneModel& record) const
{
    auto screen = RQCustomMsgController::create();
    screen->setShengId(record.shengId());
    return screen;
}
