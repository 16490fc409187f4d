// RQPhoneModel: one row of a data-server list (a lead number, a province, an industry or an
// industry contact). Each initializer fills only its kind's properties from one reply item,
// every value as its text ("%@": numbers become their digits, a missing value "(null)"); the
// rest stay nil. A phone is kept as the server sent it: whether it can be written to the
// address book is the import's question.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class RQPhoneModel : public NSObject {
public:
    using Text = std::optional<std::string>;

    // Items of "data/listPhone.do": "phone" -> phoneName and phoneNum.
    static std::shared_ptr<RQPhoneModel> initWithDic(const Value& dic);
    // "phone" -> phoneName.
    static std::shared_ptr<RQPhoneModel> initWithHuFenDic(const Value& dic);
    // Provinces: "id" -> shengId, "name" -> shengName.
    static std::shared_ptr<RQPhoneModel> initWithShengDic(const Value& dic);
    // Industry contacts: "computerName", "categoryId", "phone", "area_id".
    static std::shared_ptr<RQPhoneModel> initWithHangYeDic(const Value& dic);
    // Industries: "categoryId" -> categoryId, "name" -> leiName.
    static std::shared_ptr<RQPhoneModel> initWithHangClassDic(const Value& dic);

    std::string className() const override { return "RQPhoneModel"; }

    const Text& phoneNum() const { return phoneNum_; }
    void setPhoneNum(Text v) { phoneNum_ = std::move(v); }
    const Text& phoneId() const { return phoneId_; }
    void setPhoneId(Text v) { phoneId_ = std::move(v); }
    const Text& phoneName() const { return phoneName_; }
    void setPhoneName(Text v) { phoneName_ = std::move(v); }
    const Text& shengName() const { return shengName_; }
    void setShengName(Text v) { shengName_ = std::move(v); }
    const Text& shengId() const { return shengId_; }
    void setShengId(Text v) { shengId_ = std::move(v); }
    const Text& hangName() const { return hangName_; }
    void setHangName(Text v) { hangName_ = std::move(v); }
    const Text& hangId() const { return hangId_; }
    void setHangId(Text v) { hangId_ = std::move(v); }
    const Text& hangPhone() const { return hangPhone_; }
    void setHangPhone(Text v) { hangPhone_ = std::move(v); }
    const Text& areaId() const { return areaId_; }
    void setAreaId(Text v) { areaId_ = std::move(v); }
    const Text& categoryId() const { return categoryId_; }
    void setCategoryId(Text v) { categoryId_ = std::move(v); }
    const Text& leiName() const { return leiName_; }
    void setLeiName(Text v) { leiName_ = std::move(v); }

private:
    Text phoneNum_;
    Text phoneId_;
    Text phoneName_;
    Text shengName_;
    Text shengId_;
    Text hangName_;
    Text hangId_;
    Text hangPhone_;
    Text areaId_;
    Text categoryId_;
    Text leiName_;
};

namespace prospecting {
// "%@" of a value: "(null)" for a missing one, "<null>" for null.
std::string textOf(const Value& value);
// "%@" of a property: "(null)" when it is nil.
std::string displayText(const std::optional<std::string>& text);
} // namespace prospecting
