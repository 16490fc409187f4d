// NSBundle: a folder of resources with an Info.plist at its top, laid out flat as the phone's
// application bundles are. The main bundle's folder is the one set by the app or a test
// (setMainBundlePath), else $QUILLMARK_BUNDLE, else "resources" next to the executable.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/persistence/StringTables.h"

class NSBundle final : public NSObject {
public:
    // The main bundle for the folder in force now; a new object when that folder changed.
    static std::shared_ptr<NSBundle> mainBundle();
    // Chooses the main bundle's folder; an empty path goes back to the environment and default.
    static void setMainBundlePath(std::string path);
    // A bundle for an existing folder; nullptr when there is none.
    static std::shared_ptr<NSBundle> bundleWithPath(const std::string& path);

    const std::string& bundlePath() const { return path_; }
    // Resources lie at the top of the bundle: the same folder.
    const std::string& resourcePath() const { return path_; }

    // Info.plist (XML or binary) as a dictionary; an empty dictionary when missing or unreadable.
    const Value& infoDictionary() const;
    // "CFBundleIdentifier" when Info.plist has it as text.
    std::optional<std::string> bundleIdentifier() const;
    const Value& objectForInfoDictionaryKey(std::string_view key) const;

    // The path of "<name>.<type>" in the bundle (or in `directory` inside it), when it exists.
    // An empty type means `name` is the whole file name; an empty name takes the first file
    // (by name) with that extension. A type may be given with or without its leading dot.
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const;
    std::optional<std::string> pathForResource(
        std::string_view name, std::string_view type, std::string_view directory) const;
    // Every file with that extension in the bundle (or `directory` inside it), sorted by name.
    std::vector<std::string> pathsForResourcesOfType(std::string_view type, std::string_view directory = {}) const;

    // The localized text for `key` in the string table `table` ("Localizable" when empty), in the
    // first of the bundle's languages that has the table and the key; `value` when none has it
    // (`key` when `value` is empty too). Languages: see persistence::localizationOrder, with the
    // development region of Info.plist. Each table is read once per bundle; safe on any thread.
    std::string localizedStringForKey(std::string_view key, std::string_view value, std::string_view table) const;

    std::string description() const override { return "NSBundle <" + path_ + ">"; }
    std::string className() const override { return "NSBundle"; }

    explicit NSBundle(std::string path);

private:
    std::string path_;
    mutable std::once_flag infoOnce_;
    mutable Value info_;
    persistence::StringTables strings_;
};

// The main bundle's text for `key` in `table`, or `key` itself when no table has it.
std::string NSLocalizedStringFromTable(std::string_view key, std::string_view table, std::string_view comment = {});
