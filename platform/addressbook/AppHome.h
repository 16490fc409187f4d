// Where the address book lives: <home>/Library/AddressBook/AddressBook.sqlite.
#pragma once

#include <filesystem>

namespace addressbook {

// Creates the folder on demand.
std::filesystem::path addressBookPath();

}
