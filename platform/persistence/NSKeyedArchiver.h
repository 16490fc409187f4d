// Keyed archives: a graph of Values and archivable objects written as a binary property list of
// our own layout, and read back with every reference, class and depth checked.
//
// Layout: a dictionary with "$archiver" = "NSKeyedArchiver", "$version" = 1, "$top" =
// {"root": UID} and "$objects", an array whose entry 0 is "$null" (UID 0 means nil). An entry
// is a string, number, boolean, data or date as it is, or a dictionary with "$class":
// "NSNull"; "NSArray" with "NS.objects" (UIDs); "NSDictionary" with "NS.keys" (strings) and
// "NS.objects" (UIDs); or a registered class name with the object's own keys, whose values are
// UIDs (objects) or plain numbers and booleans. Keys the object uses that start with "$" are
// stored with one more "$" in front. One object referenced twice is stored once.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <vector>

#include "platform/persistence/NSCoder.h"
#include "platform/persistence/PlistTree.h"

class NSKeyedArchiver final : public NSCoder {
public:
    // The archive of `root`; nothing and an error when it holds an object that is not archivable.
    static std::optional<Bytes> archivedDataWithRootObject(const Value& root, NSErrorRef* error = nullptr);

    void encodeObject(const Value& object, std::string_view key) override;
    void encodeInteger(std::int64_t value, std::string_view key) override;
    void encodeBool(bool value, std::string_view key) override;
    void encodeDouble(double value, std::string_view key) override;

private:
    NSKeyedArchiver() = default;
    std::uint64_t encode(const Value& value, int depth);
    std::uint64_t reserve();
    void setField(std::string_view key, persistence::plist::Tree node);

    std::vector<persistence::plist::Tree> objects_;
    std::map<const NSObject*, std::uint64_t> shared_;
    plist_t current_ = nullptr; // the dictionary of the object being encoded
    int depth_ = 0;
};

class NSKeyedUnarchiver final : public NSCoder {
public:
    // The root of an archive; absent (and an error, code 4864) for anything that is not a whole,
    // consistent archive: garbage, truncation, bad references, cycles, unknown classes.
    static Value unarchiveObjectWithData(const Bytes& data, NSErrorRef* error = nullptr);
    // The root when it is of the named class (subclasses count), reading with secure coding:
    // every object in the archive must be of a class that supports it. Absent and an error
    // otherwise.
    static Value unarchivedObjectOfClass(std::string_view className, const Bytes& data, NSErrorRef* error = nullptr);
    template <typename T>
    static std::shared_ptr<T> unarchivedObjectOfClass(std::string_view className, const Bytes& data, NSErrorRef* error = nullptr)
    {
        return unarchivedObjectOfClass(className, data, error).asObject<T>();
    }

    bool requiresSecureCoding() const override { return secure_; }

protected:
    bool fieldMayBeOfClass(std::string_view className, std::string_view key) const override;

public:

    Value decodeObjectForKey(std::string_view key) override;
    std::int64_t decodeIntegerForKey(std::string_view key) override;
    bool decodeBoolForKey(std::string_view key) override;
    double decodeDoubleForKey(std::string_view key) override;
    bool containsValueForKey(std::string_view key) const override;

private:
    NSKeyedUnarchiver() = default;
    Value decode(std::uint64_t uid, int depth);
    Value decodeEntry(plist_t entry, std::uint64_t uid, int depth);
    Value decodeArray(plist_t entry, int depth);
    Value decodeDictionary(plist_t entry, int depth);
    Value decodeCodedObject(plist_t entry, std::uint64_t uid, const std::string& className, int depth);
    plist_t field(std::string_view key) const;
    Value fail(const std::string& problem);
    static Value read(NSKeyedUnarchiver& reader, const Bytes& data, NSErrorRef* error);
    // Securely, whether the object of that UID may be of the class (by its stored class name).
    bool entryMayBeOfClass(std::uint64_t uid, std::string_view className) const;

    plist_t objects_ = nullptr;
    std::uint32_t count_ = 0;
    std::map<std::uint64_t, Value> decoded_;
    std::vector<bool> inProgress_;
    plist_t current_ = nullptr;
    int depth_ = 0;
    bool secure_ = false;
    std::string rootClass_; // securely: the class the root must be of
    mutable std::set<std::uint64_t> askedFor_; // objects whose class their reader asked for by name
};
