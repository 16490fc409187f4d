// Where the keychain file lives: <home>/Library/Keychains/keychain.sqlite.
#pragma once

#include <filesystem>

namespace security {

// Creates the folder (mode 0700) on demand.
std::filesystem::path keychainPath();

}
