// NSUserDefaults: the app's small settings, kept as a binary property list in
// <home>/Library/Preferences/<bundle identifier or "quillmark">.plist. The standard instance is
// bound to the home in force: when QUILLMARK_HOME changes, the next standardUserDefaults() gives
// an instance of the new home (the old one is written out first). Safe to use from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class NSUserDefaults final : public NSObject {
public:
    static std::shared_ptr<NSUserDefaults> standardUserDefaults();
    // Writes out pending changes and forgets the standard instance; the next call reads the file
    // of the home then in force.
    static void resetStandardUserDefaults();
    // Defaults kept in the property-list file at `path` (read now, written by synchronize).
    static std::shared_ptr<NSUserDefaults> create(std::string path);

    // The app's own value; for a key it has not set, the system's ("AppleLanguages": the
    // user's preferred languages), else absent.
    Value objectForKey(std::string_view key) const;
    // An absent value removes the key. A value that cannot be in a property list (null, an
    // object, or a container holding one) is refused: nothing changes and the result is false.
    bool setObject(Value value, std::string key);
    void removeObjectForKey(std::string_view key);

    // Texts only; any other kind reads as nothing.
    std::optional<std::string> stringForKey(std::string_view key) const;
    // Lenient, as numbers read: a string "12" gives 12, anything unusable 0 or NO.
    std::int64_t integerForKey(std::string_view key) const;
    bool boolForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    // Absent unless the stored value is of that kind.
    Value arrayForKey(std::string_view key) const;
    Value dictionaryForKey(std::string_view key) const;
    Value dataForKey(std::string_view key) const;

    void setInteger(std::int64_t value, std::string key) { setObject(Value(value), std::move(key)); }
    void setBool(bool value, std::string key) { setObject(Value(value), std::move(key)); }
    void setDouble(double value, std::string key) { setObject(Value(value), std::move(key)); }

    // Writes the settings atomically when they changed since the last write. False when the
    // write failed (the changes stay pending).
    bool synchronize();
    Value dictionaryRepresentation() const;

    const std::string& filePath() const { return path_; }
    std::string className() const override { return "NSUserDefaults"; }

    explicit NSUserDefaults(std::string path);
    ~NSUserDefaults() override;

private:
    bool writeLocked();

    std::string path_;
    mutable std::mutex lock_;
    Value values_;
    bool dirty_ = false;
};
