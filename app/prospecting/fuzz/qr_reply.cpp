// Fuzz target: a data-server reply body as the QR-code screens read it (the code list, a code's
// detail, a step to its neighbour). The bytes are parsed as the server client parses them, then
// read through the envelope into code records and their shown texts, whatever the shape.
#include <cstddef>
#include <cstdint>

#include "app/ServerRoots.h"
#include "app/prospecting/JZQunModel.h"
#include "platform/persistence/NSJSONSerialization.h"

namespace {

// A record as a screen builds it, without its picture download (no address leaves the process).
void readRecord(const Value& item)
{
    Value offline = item;
    if (offline.isDictionary())
        offline.set("qrcodeImg", "");
    auto record = JZQunModel::initWithDic(offline);
    (void)record->qunTitle();
    (void)("区域:" + record->qunArear());
    (void)record->position();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes body(data, data + size);
    Value reply = NSJSONSerialization::JSONObjectWithData(body, NSJSONReadingMutableLeaves);
    (void)app::replyStatus(reply);
    (void)app::refusalText(reply);
    const Value& info = app::replyInfo(reply);
    if (info.isDictionary())
        readRecord(info);
    const Value& items = info["listItems"];
    if (items.isArray()) {
        for (const auto& item : items.asArray())
            readRecord(item);
    }
    return 0;
}
