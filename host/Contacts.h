// What the address book holds, as text, for scripts and tests to check an import.
#pragma once

#include <string>
#include <vector>

namespace host {

struct ContactListing {
    bool ok = false;
    std::string error; // why the address book could not be read, when !ok
    // One line a person, ordered by record id (the order they were first saved):
    //   first="粉丝" last=(none) phones=[Mobile "13800138000", Home "020 1234"]
    // A missing name or label reads (none); texts are quoted with \" and \\ escaped.
    std::vector<std::string> lines;
};

// Reads every person through a new address-book handle. Needs the app's access to have been
// granted; otherwise an error says what the access status is.
ContactListing listContacts();

} // namespace host
