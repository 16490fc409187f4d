// Where the keychain file lives (see AppHome.h).
#include "platform/security/AppHome.h"

#include <system_error>

#include "platform/persistence/AppHome.h"

namespace security {

std::filesystem::path keychainPath()
{
    auto dir = std::filesystem::path(NSHomeDirectory()) / "Library" / "Keychains";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
    return dir / "keychain.sqlite";
}

}
