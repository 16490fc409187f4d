// NSKeyedArchiver: Values and archivable objects into the object table of a keyed archive.
#include "platform/persistence/NSKeyedArchiver.h"

#include <cmath>

using persistence::plist::Tree;

namespace {

constexpr int kMaxDepth = persistence::plist::kMaxDepth;

std::string storedKey(std::string_view key)
{
    return key.starts_with('$') ? "$" + std::string(key) : std::string(key);
}

Tree classDictionary(const char* className)
{
    Tree dict(plist_new_dict());
    plist_dict_set_item(dict.get(), "$class", plist_new_string(className));
    return dict;
}

} // namespace

std::optional<Bytes> NSKeyedArchiver::archivedDataWithRootObject(const Value& root, NSErrorRef* error)
{
    NSKeyedArchiver archiver;
    archiver.objects_.push_back(Tree(plist_new_string("$null")));
    std::uint64_t rootUid = archiver.encode(root, 0);
    if (archiver.error()) {
        if (error)
            *error = archiver.error();
        return std::nullopt;
    }
    Tree objects(plist_new_array());
    for (auto& entry : archiver.objects_)
        plist_array_append_item(objects.get(), entry.release());
    Tree top(plist_new_dict());
    plist_dict_set_item(top.get(), "root", plist_new_uid(rootUid));
    Tree archive(plist_new_dict());
    plist_dict_set_item(archive.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_dict_set_item(archive.get(), "$version", plist_new_uint(1));
    plist_dict_set_item(archive.get(), "$top", top.release());
    plist_dict_set_item(archive.get(), "$objects", objects.release());
    return persistence::plist::serialize(static_cast<plist_t>(archive.get()), NSPropertyListBinaryFormat_v1_0);
}

std::uint64_t NSKeyedArchiver::reserve()
{
    objects_.emplace_back();
    return objects_.size() - 1;
}

std::uint64_t NSKeyedArchiver::encode(const Value& value, int depth)
{
    if (value.isAbsent() || error())
        return 0;
    if (depth > kMaxDepth) {
        failWithError(persistence::archiveError(NSCoderInvalidValueError, "archive nested too deeply"));
        return 0;
    }
    switch (value.type()) {
    case Value::Type::Null: {
        std::uint64_t uid = reserve();
        objects_[uid] = classDictionary("NSNull");
        return uid;
    }
    case Value::Type::Array: {
        std::uint64_t uid = reserve();
        Tree refs(plist_new_array());
        for (const Value& item : value.asArray())
            plist_array_append_item(refs.get(), plist_new_uid(encode(item, depth + 1)));
        Tree dict = classDictionary("NSArray");
        plist_dict_set_item(dict.get(), "NS.objects", refs.release());
        objects_[uid] = std::move(dict);
        return uid;
    }
    case Value::Type::Dictionary: {
        std::uint64_t uid = reserve();
        Tree keys(plist_new_array());
        Tree refs(plist_new_array());
        for (const auto& [key, item] : value.asDictionary()) {
            plist_array_append_item(keys.get(), plist_new_string(key.c_str()));
            plist_array_append_item(refs.get(), plist_new_uid(encode(item, depth + 1)));
        }
        Tree dict = classDictionary("NSDictionary");
        plist_dict_set_item(dict.get(), "NS.keys", keys.release());
        plist_dict_set_item(dict.get(), "NS.objects", refs.release());
        objects_[uid] = std::move(dict);
        return uid;
    }
    case Value::Type::Object:
        break;
    default: {
        std::string problem;
        Tree scalar = persistence::plist::fromValue(value, &problem);
        if (!scalar) {
            failWithError(persistence::archiveError(NSCoderInvalidValueError, problem));
            return 0;
        }
        std::uint64_t uid = reserve();
        objects_[uid] = std::move(scalar);
        return uid;
    }
    }

    NSObjectRef object = value.asObject();
    if (auto it = shared_.find(object.get()); it != shared_.end())
        return it->second;
    std::string className = object->className();
    auto entry = persistence::findCodingClass(className);
    if (!entry) {
        failWithError(persistence::archiveError(
            NSCoderInvalidValueError, "class '" + className + "' is not registered for archiving"));
        return 0;
    }
    std::uint64_t uid = reserve();
    shared_[object.get()] = uid;
    Tree dict = classDictionary(className.c_str());
    plist_t saved = current_;
    int savedDepth = depth_;
    current_ = dict.get();
    depth_ = depth;
    entry->encode(*object, *this);
    current_ = saved;
    depth_ = savedDepth;
    objects_[uid] = std::move(dict);
    return uid;
}

void NSKeyedArchiver::setField(std::string_view key, Tree node)
{
    if (!current_)
        return;
    plist_dict_set_item(current_, storedKey(key).c_str(), node.release());
}

void NSKeyedArchiver::encodeObject(const Value& object, std::string_view key)
{
    if (object.isAbsent())
        return;
    std::uint64_t uid = encode(object, depth_ + 1);
    setField(key, Tree(plist_new_uid(uid)));
}

void NSKeyedArchiver::encodeInteger(std::int64_t value, std::string_view key)
{
    setField(key, persistence::plist::makeInteger(Value(value)));
}

void NSKeyedArchiver::encodeBool(bool value, std::string_view key)
{
    setField(key, Tree(plist_new_bool(value ? 1 : 0)));
}

void NSKeyedArchiver::encodeDouble(double value, std::string_view key)
{
    setField(key, Tree(plist_new_real(value)));
}
