// RQClassModel: one category of the home screen's grid, read from a "home/index.do" entry.
// Every field is the "%@" text of its value, so a number becomes its decimal text and a missing
// key the text "(null)".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class RQClassModel final : public NSObject {
public:
    static std::shared_ptr<RQClassModel> initWithDic(const Value& dic);
    // The categories of a "listCate" array, in order; entries that are not dictionaries are
    // skipped.
    static std::vector<std::shared_ptr<RQClassModel>> listFrom(const Value& list);
    std::string className() const override { return "RQClassModel"; }

    std::string classId; // "categoryId"
    std::string classNameStr; // "name": the tile's caption
    std::string classIgUrl; // "imgurl": the tile's image
    std::string keyword; // "keyword": which screen a tap opens
};
