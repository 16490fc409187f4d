// TempHome: a fresh temporary app home for one test. It points QUILLMARK_HOME at a new folder,
// gives the test fresh standard user defaults, and on destruction puts the previous home back
// and removes the folder with everything in it. Use it as a fixture member or a local.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace testing_support {

class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    // The home folder (no trailing slash).
    const std::string& path() const { return path_; }
    // A path inside the home ("Library/Caches" gives "<home>/Library/Caches").
    std::string pathFor(std::string_view relative) const;
    // Makes the folder `name` in the home the main bundle, with an Info.plist holding
    // `plistEntries` (keys and values as property-list XML) in its dictionary; gives its path.
    std::string useMainBundle(std::string_view name, std::string_view plistEntries) const;

private:
    std::string path_;
    std::optional<std::string> previous_;
};

} // namespace testing_support
