// The platform's own texts (bar button titles, the back button, the image picker's titles) in
// the application's language: the main bundle's development region ("CFBundleDevelopmentRegion"
// in Info.plist) chooses it, as a phone shows an application that carries only that one
// language. A Chinese region gives Chinese texts; any other, or none, English.
#pragma once

#include <string>

namespace uikit {

enum class SystemText { Done, Cancel, Edit, Save, Back, Photos, Camera };

// Whether the main bundle's development region is Chinese ("zh", "zh_CN", "zh-Hans", ...).
bool bundleSpeaksChinese();
std::string systemText(SystemText text);

} // namespace uikit
