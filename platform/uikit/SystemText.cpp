// The platform's own texts in the language of the main bundle's development region.
#include "platform/uikit/SystemText.h"

#include <algorithm>
#include <cctype>

#include "platform/persistence/NSBundle.h"

namespace uikit {

bool bundleSpeaksChinese()
{
    const Value& region = NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleDevelopmentRegion");
    if (!region.isString())
        return false;
    std::string name = region.asString();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    // Language codes ("zh", "zh_CN", "zh-Hans") and the old English names.
    return name == "zh" || name.starts_with("zh_") || name.starts_with("zh-") || name == "chinese" || name == "china";
}

std::string systemText(SystemText text)
{
    struct Texts {
        const char* english;
        const char* chinese;
    };
    static constexpr Texts texts[] = {
        { "Done", "完成" },
        { "Cancel", "取消" },
        { "Edit", "编辑" },
        { "Save", "存储" },
        { "Back", "返回" },
        { "Photos", "照片" },
        { "Camera", "相机" },
    };
    const Texts& entry = texts[static_cast<int>(text)];
    return bundleSpeaksChinese() ? entry.chinese : entry.english;
}

} // namespace uikit
