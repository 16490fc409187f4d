// StringTables: a bundle's localized string tables, "<bundle>/<language>.lproj/<table>.strings",
// each a property list (XML or binary) that maps text to text. Each table is read once and kept;
// a missing or unreadable file is kept as "no table" so that it is not read again.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"

namespace persistence {

// The language the environment names ($LANGUAGE, $LC_ALL, $LANG, the first set to something other
// than "C" or "POSIX"), without encoding or modifier: "zh_CN.UTF-8" gives "zh_CN"; empty if none.
std::string environmentLanguage();

// The languages to look in, most preferred first: the language of the environment
// ($LANGUAGE, $LC_ALL, $LANG; "zh_CN.UTF-8" gives "zh_CN", "zh-CN" and "zh"), then the
// development region (and its language alone), then "Base" and "en". No name appears twice.
std::vector<std::string> localizationOrder(std::string_view developmentRegion);

class StringTables {
public:
    explicit StringTables(std::string bundlePath);

    // The text for `key` in the first of `languages` whose table `table` has it as text.
    std::optional<std::string> lookup(
        std::string_view key, std::string_view table, const std::vector<std::string>& languages) const;

private:
    std::shared_ptr<const Value> tableFor(const std::string& language, std::string_view table) const;

    std::string bundlePath_;
    mutable std::mutex lock_;
    // Keyed by "<language>.lproj/<table>"; a null table stands for a missing or bad file.
    mutable std::map<std::string, std::shared_ptr<const Value>, std::less<>> tables_;
};

} // namespace persistence
