// RQJingZhunJiaFenController: the precise lead import screen ("精准加粉"). Its fetch needs a
// province and a city, so it shows the province and city boxes of the region screen with the
// number range and the size, and fetches as that screen does, under its own title and with no
// limit on the size: what is typed is sent.
#pragma once

#include "app/prospecting/RQAddFirendController.h"

class RQJingZhunJiaFenController : public RQAddFirendController {
public:
    static std::shared_ptr<RQJingZhunJiaFenController> create() { return std::make_shared<RQJingZhunJiaFenController>(); }
    std::string className() const override { return "RQJingZhunJiaFenController"; }

protected:
    std::string screenTitle() const override { return "精准加粉"; }
    std::optional<std::string> sizeRefusal(std::int64_t) const override { return std::nullopt; }
};
