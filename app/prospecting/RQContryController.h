// RQContryController: the lead import screen by number range ("国际加粉"): one line of boxes
// (number range and size), a fetch that needs a chosen range and a size from 1 to 50 and sends
// the range as "sectionNo".
#pragma once

#include "app/prospecting/RQAddFirendController.h"

class RQContryController : public RQAddFirendController {
public:
    static std::shared_ptr<RQContryController> create() { return std::make_shared<RQContryController>(); }
    std::string className() const override { return "RQContryController"; }

    // The city and province are not used: the chosen range is.
    void getPhoneNumbers(std::int32_t page, const Text& cityId, const Text& proviceId, const std::string& pageSize) override;

protected:
    std::string screenTitle() const override { return "国际加粉"; }
    void addPickerBoxes(const std::shared_ptr<UIView>& content) override;
};
