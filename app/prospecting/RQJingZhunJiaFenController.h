// RQJingZhunJiaFenController: the precise lead import screen ("精准加粉"). It offers only the
// number-range box and the size field, so it fetches by number range exactly as
// RQContryController does, under its own title.
#pragma once

#include "app/prospecting/RQContryController.h"

class RQJingZhunJiaFenController : public RQContryController {
public:
    static std::shared_ptr<RQJingZhunJiaFenController> create() { return std::make_shared<RQJingZhunJiaFenController>(); }
    std::string className() const override { return "RQJingZhunJiaFenController"; }

protected:
    std::string screenTitle() const override { return "精准加粉"; }
};
