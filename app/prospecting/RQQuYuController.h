// RQQuYuController: the region source screen ("区域客源"). Lists the provinces of
// "district/listSubDistrict.do"; a tapped province opens its contacts.
#pragma once

#include "app/prospecting/SourceListController.h"

class RQQuYuController : public prospecting::SourceListController {
public:
    static std::shared_ptr<RQQuYuController> create() { return std::make_shared<RQQuYuController>(); }
    std::string className() const override { return "RQQuYuController"; }

    void getShengList() { load(); }

protected:
    std::string screenTitle() const override { return "区域客源"; }
    std::string caption() const override { return "区域选择"; }
    std::string path() const override { return "district/listSubDistrict.do"; }
    Value form() const override { return Value::dictionary(); }
    std::shared_ptr<RQPhoneModel> record(const Value& item) const override { return RQPhoneModel::initWithShengDic(item); }
    std::string rowText(const RQPhoneModel& record) const override { return prospecting::displayText(record.shengName()); }
    std::shared_ptr<UIViewController> screenFor(const RQPhoneModel& record) const override;
};
