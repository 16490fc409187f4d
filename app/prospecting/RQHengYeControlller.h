// RQHengYeControlller: the industry source screen ("行业客源"). Lists the industries of
// "data/listCategory.do"; a tapped industry opens its contacts.
#pragma once

#include "app/prospecting/SourceListController.h"

class RQHengYeControlller : public prospecting::SourceListController {
public:
    static std::shared_ptr<RQHengYeControlller> create() { return std::make_shared<RQHengYeControlller>(); }
    std::string className() const override { return "RQHengYeControlller"; }

    void getHangList() { load(); }

protected:
    std::string screenTitle() const override { return "行业客源"; }
    std::string caption() const override { return "行业选择"; }
    std::string path() const override { return "data/listCategory.do"; }
    // "clientId" only when the device has an identifier.
    Value form() const override;
    std::shared_ptr<RQPhoneModel> record(const Value& item) const override { return RQPhoneModel::initWithHangClassDic(item); }
    std::string rowText(const RQPhoneModel& record) const override { return prospecting::displayText(record.leiName()); }
    std::shared_ptr<UIViewController> screenFor(const RQPhoneModel& record) const override;
};
