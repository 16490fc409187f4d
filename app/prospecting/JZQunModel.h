// JZQunModel: one published QR code (a group's, type "3", or a person's, type "2") as the data
// server returns it in the code list and the detail replies. Every text field holds the reply
// value's "%@" text, so a missing key reads "(null)". Building a record also builds the square
// image view of the code's picture and starts loading it, with "moren" showing until it comes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/UIImageView.h"

class JZQunModel : public NSObject {
public:
    // Never fails on missing keys; an item that is not a dictionary reads as one without keys.
    static std::shared_ptr<JZQunModel> initWithDic(const Value& dic);
    std::string className() const override { return "JZQunModel"; }

    bool selector() const { return selector_; }
    void setSelector(bool selected) { selector_ = selected; }
    const std::string& qunTitle() const { return qunTitle_; }
    void setQunTitle(std::string v) { qunTitle_ = std::move(v); }
    const std::string& qunNumber() const { return qunNumber_; }
    void setQunNumber(std::string v) { qunNumber_ = std::move(v); }
    const std::string& qunType() const { return qunType_; }
    void setQunType(std::string v) { qunType_ = std::move(v); }
    const std::string& qunArear() const { return qunArear_; }
    void setQunArear(std::string v) { qunArear_ = std::move(v); }
    const std::string& qunId() const { return qunId_; }
    void setQunId(std::string v) { qunId_ = std::move(v); }
    const std::string& qunUpTime() const { return qunUpTime_; }
    void setQunUpTime(std::string v) { qunUpTime_ = std::move(v); }
    const std::string& qunZhuNumber() const { return qunZhuNumber_; }
    void setQunZhuNumber(std::string v) { qunZhuNumber_ = std::move(v); }
    const std::string& qunMiaoShu() const { return qunMiaoShu_; }
    void setQunMiaoShu(std::string v) { qunMiaoShu_ = std::move(v); }
    const std::string& qunIgUrl() const { return qunIgUrl_; }
    void setQunIgUrl(std::string v) { qunIgUrl_ = std::move(v); }
    const std::string& qunTypeId() const { return qunTypeId_; }
    void setQunTypeId(std::string v) { qunTypeId_ = std::move(v); }
    const std::string& qunArearId() const { return qunArearId_; }
    void setQunArearId(std::string v) { qunArearId_ = std::move(v); }
    // Null when the reply's "qrcodeImg" was the empty text.
    const std::shared_ptr<UIImageView>& qunImage() const { return qunImage_; }
    void setQunImage(std::shared_ptr<UIImageView> view) { qunImage_ = std::move(view); }
    std::int64_t position() const { return position_; }
    void setPosition(std::int64_t position) { position_ = position; }

    // The placeholder every code's image view shows until its picture arrives.
    static UIImageRef placeholderImage();

private:
    bool selector_ = false;
    std::string qunTitle_;
    std::string qunNumber_;
    std::string qunType_;
    std::string qunArear_;
    std::string qunId_;
    std::string qunUpTime_;
    std::string qunZhuNumber_;
    std::string qunMiaoShu_;
    std::string qunIgUrl_;
    std::string qunTypeId_;
    std::string qunArearId_;
    std::shared_ptr<UIImageView> qunImage_;
    std::int64_t position_ = 0;
};
