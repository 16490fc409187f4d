// Reading a home category from its reply dictionary.
#include "app/shell/RQClassModel.h"

#include "platform/foundation/NSString.h"

std::shared_ptr<RQClassModel> RQClassModel::initWithDic(const Value& dic)
{
    auto model = std::make_shared<RQClassModel>();
    model->classId = NSString::stringWithFormat("%@", dic["categoryId"]);
    model->classNameStr = NSString::stringWithFormat("%@", dic["name"]);
    model->classIgUrl = NSString::stringWithFormat("%@", dic["imgurl"]);
    model->keyword = NSString::stringWithFormat("%@", dic["keyword"]);
    return model;
}

std::vector<std::shared_ptr<RQClassModel>> RQClassModel::listFrom(const Value& list)
{
    std::vector<std::shared_ptr<RQClassModel>> models;
    for (const auto& entry : list.asArray()) {
        if (entry.isDictionary())
            models.push_back(initWithDic(entry));
    }
    return models;
}
