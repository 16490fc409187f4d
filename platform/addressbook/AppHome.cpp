// Where the address book lives (see AppHome.h).
#include "platform/addressbook/AppHome.h"

#include <system_error>

#include "platform/persistence/AppHome.h"

namespace addressbook {

std::filesystem::path addressBookPath()
{
    auto dir = std::filesystem::path(NSHomeDirectory()) / "Library" / "AddressBook";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir / "AddressBook.sqlite";
}

}
