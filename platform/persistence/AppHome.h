// The app's home: the folder that stands in for the phone's application sandbox.
// QUILLMARK_HOME names it (read at every call, so tests can switch homes); without it the home
// is $XDG_DATA_HOME/quillmark, else ~/.local/share/quillmark. It holds Documents/,
// Library/Caches/, Library/Preferences/, Library/Keychains/, Library/AddressBook/ and tmp/,
// created on demand.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum NSSearchPathDirectory : std::uint64_t {
    NSApplicationDirectory = 1,
    NSLibraryDirectory = 5,
    NSDocumentDirectory = 9,
    NSCachesDirectory = 13,
};

enum NSSearchPathDomainMask : std::uint64_t {
    NSUserDomainMask = 1,
    NSLocalDomainMask = 2,
    NSNetworkDomainMask = 4,
    NSSystemDomainMask = 8,
    NSAllDomainsMask = 0x0ffff,
};

// The home folder, without a trailing slash; its folders exist when this returns.
std::string NSHomeDirectory();
// The home's tmp/ folder, with a trailing slash.
std::string NSTemporaryDirectory();
// The document, library and caches folders of the home for the user domain; empty for any
// other directory or domain. The paths are always absolute, whatever `expandTilde` says.
std::vector<std::string> NSSearchPathForDirectoriesInDomains(
    NSSearchPathDirectory directory, NSSearchPathDomainMask domainMask, bool expandTilde);

namespace persistence {

// `base` + "/" + `component`, without doubling slashes; an empty component gives `base`.
std::string appendPathComponent(std::string_view base, std::string_view component);
// The folder part of a path ("/a/b" gives "/a", "b" gives ".").
std::string deletingLastPathComponent(std::string_view path);
// The last component ("/a/b/" gives "b").
std::string lastPathComponent(std::string_view path);

} // namespace persistence
