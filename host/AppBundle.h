// The application's bundle for the executable: which folder is the main bundle, and finding
// named images ("nav_back", "PGProgressHUD.bundle/success.png") in it.
#pragma once

#include <string>

namespace host {

// $QUILLMARK_BUNDLE when set and not empty, else `compiledIn`.
std::string appBundleFolder(const std::string& compiledIn);
// Makes `folder` the main bundle and has UIImage::imageNamed look there (through whatever the
// main bundle is at the time of each lookup). Forgets images already looked up by name.
void useAppBundle(const std::string& folder);

} // namespace host
