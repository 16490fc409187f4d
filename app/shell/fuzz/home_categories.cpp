// Fuzz target: a "home/index.do" reply body as the home screen reads it. The bytes are parsed
// as the server client parses them and logged, then read through the envelope into the
// category records, their tile count and the last shown tile's keyword, whatever the shape.
#include <cstddef>
#include <cstdint>

#include "app/ServerRoots.h"
#include "app/shell/RQClassModel.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "platform/persistence/NSJSONSerialization.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes body(data, data + size);
    Value reply = NSJSONSerialization::JSONObjectWithData(body, NSJSONReadingMutableLeaves);
    (void)NSString::stringWithFormat("%@", reply);
    (void)app::replyStatus(reply);
    (void)app::refusalText(reply);
    auto categories = RQClassModel::listFrom(app::replyInfo(reply)["listCate"]);
    std::size_t tiles = categories.size() < 5 ? 0 : categories.size() - 4;
    for (std::size_t i = 0; i < tiles; ++i) {
        const auto& model = categories[i];
        (void)NSURL::URLWithString(model->classIgUrl);
        (void)NSString::stringWithFormat("%@ %@ %@", model->classId, model->classNameStr, model->keyword);
    }
    return 0;
}
