// SQAdModel: one banner record; the carousel's URL form reads its image URL.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"

class SQAdModel : public NSObject {
public:
    static std::shared_ptr<SQAdModel> create() { return std::make_shared<SQAdModel>(); }
    std::string className() const override { return "SQAdModel"; }

    std::string adId;
    std::string createTime;
    std::string imgurl;
    std::string linkId;
    std::string linkType;
    std::string modifyTime;
    std::string name;
    std::string seq;
    std::string status;
};
