// Fuzz target: a "data/listIndustry.do" reply body as the industry contacts screen reads it:
// parsed as the server client parses it, logged, read through the envelope into contact
// records and the texts of their rows, whatever the shape.
#include <cstddef>
#include <cstdint>

#include "app/ServerRoots.h"
#include "app/prospecting/RQPhoneModel.h"
#include "platform/foundation/NSString.h"
#include "platform/persistence/NSJSONSerialization.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes body(data, data + size);
    Value reply = NSJSONSerialization::JSONObjectWithData(body, NSJSONReadingMutableLeaves);
    (void)NSString::stringWithFormat("%@", reply);
    if (app::replyStatus(reply) == 0)
        (void)app::refusalText(reply);
    const Value& items = app::replyInfo(reply)["listItems"];
    for (const auto& item : items.asArray()) {
        auto record = RQPhoneModel::initWithHangYeDic(item);
        (void)prospecting::displayText(record->hangName());
        (void)prospecting::displayText(record->hangPhone());
    }
    return 0;
}
