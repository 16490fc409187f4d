// Fuzz target: a data-server reply body as the lead import screens read it. The bytes are
// parsed as the server client parses them, then read through the envelope and turned into
// number records and picker rows, which must never crash whatever the shape.
#include <cstddef>
#include <cstdint>

#include "app/ServerRoots.h"
#include "app/prospecting/RQPhoneModel.h"
#include "platform/persistence/NSJSONSerialization.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes body(data, data + size);
    Value reply = NSJSONSerialization::JSONObjectWithData(body, NSJSONReadingMutableLeaves);
    (void)app::replyStatus(reply);
    (void)prospecting::textOf(app::replyMessage(reply));
    const Value& info = app::replyInfo(reply);
    (void)info["pageSize"].integerValue();
    for (const Value* list : { &info["listItems"], &info }) {
        if (!list->isArray())
            continue;
        for (const auto& item : list->asArray()) {
            auto record = RQPhoneModel::initWithDic(item);
            (void)prospecting::displayText(record->phoneName());
            (void)RQPhoneModel::initWithShengDic(item);
            (void)prospecting::textOf(item["no"]);
        }
    }
    return 0;
}
