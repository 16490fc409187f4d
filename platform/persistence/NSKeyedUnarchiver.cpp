// NSKeyedUnarchiver: reads the object table of a keyed archive back into Values and objects,
// trusting nothing in it: every UID is range-checked, cycles and excess depth are refused.
#include "platform/persistence/NSKeyedArchiver.h"

using persistence::plist::Tree;

namespace {

constexpr int kMaxDepth = persistence::plist::kMaxDepth;

std::string stringOf(plist_t node)
{
    return plist_get_node_type(node) == PLIST_STRING ? persistence::plist::readString(node) : std::string();
}

std::string storedKey(std::string_view key)
{
    return key.starts_with('$') ? "$" + std::string(key) : std::string(key);
}

} // namespace

Value NSKeyedUnarchiver::unarchiveObjectWithData(const Bytes& data, NSErrorRef* error)
{
    NSKeyedUnarchiver reader;
    return read(reader, data, error);
}

Value NSKeyedUnarchiver::unarchivedObjectOfClass(std::string_view className, const Bytes& data, NSErrorRef* error)
{
    NSKeyedUnarchiver reader;
    reader.secure_ = true;
    reader.rootClass_ = className;
    Value root = read(reader, data, error);
    if (root.isAbsent() || persistence::valueIsOfClass(className, root))
        return root;
    if (error)
        *error = persistence::archiveError(
            NSCoderReadCorruptError, "the archive's root is not of class (" + std::string(className) + ")");
    return {};
}

Value NSKeyedUnarchiver::read(NSKeyedUnarchiver& reader, const Bytes& data, NSErrorRef* error)
{
    std::string problem;
    Tree archive = persistence::plist::parse(data, nullptr, &problem);
    Value root;
    if (!archive) {
        reader.fail("not a keyed archive: " + problem);
    } else {
        auto node = static_cast<plist_t>(archive.get());
        plist_t objects = plist_get_node_type(node) == PLIST_DICT ? plist_dict_get_item(node, "$objects") : nullptr;
        plist_t top = plist_get_node_type(node) == PLIST_DICT ? plist_dict_get_item(node, "$top") : nullptr;
        plist_t rootRef = top && plist_get_node_type(top) == PLIST_DICT ? plist_dict_get_item(top, "root") : nullptr;
        if (!objects || plist_get_node_type(objects) != PLIST_ARRAY || !rootRef || plist_get_node_type(rootRef) != PLIST_UID
            || stringOf(plist_dict_get_item(node, "$archiver")) != "NSKeyedArchiver") {
            reader.fail("not a keyed archive");
        } else {
            reader.objects_ = objects;
            reader.count_ = plist_array_get_size(objects);
            reader.inProgress_.assign(reader.count_, false);
            std::uint64_t uid = 0;
            plist_get_uid_val(rootRef, &uid);
            if (reader.secure_ && !reader.entryMayBeOfClass(uid, reader.rootClass_))
                reader.fail("the archive's root is not of class (" + reader.rootClass_ + ")");
            else
                root = reader.decode(uid, 0);
        }
    }
    if (reader.error()) {
        if (error)
            *error = reader.error();
        return {};
    }
    return root;
}

Value NSKeyedUnarchiver::fail(const std::string& problem)
{
    failWithError(persistence::archiveError(NSCoderReadCorruptError, problem));
    return {};
}

Value NSKeyedUnarchiver::decode(std::uint64_t uid, int depth)
{
    if (uid == 0 || error())
        return {};
    if (uid >= count_)
        return fail("reference " + std::to_string(uid) + " is outside the archive");
    if (auto it = decoded_.find(uid); it != decoded_.end())
        return it->second;
    if (inProgress_[uid])
        return fail("the archive refers to an object inside itself");
    if (depth > kMaxDepth)
        return fail("archive nested too deeply");
    inProgress_[uid] = true;
    Value value = decodeEntry(plist_array_get_item(objects_, static_cast<std::uint32_t>(uid)), uid, depth);
    inProgress_[uid] = false;
    if (error())
        return {};
    decoded_.emplace(uid, value);
    return value;
}

Value NSKeyedUnarchiver::decodeEntry(plist_t entry, std::uint64_t uid, int depth)
{
    if (!entry)
        return fail("missing object " + std::to_string(uid));
    if (plist_get_node_type(entry) != PLIST_DICT) {
        std::string problem;
        auto scalar = persistence::plist::toValue(entry, &problem);
        if (!scalar || scalar->isArray() || scalar->isDictionary())
            return fail("object " + std::to_string(uid) + " is not a value: " + problem);
        return *scalar;
    }
    plist_t classNode = plist_dict_get_item(entry, "$class");
    if (!classNode || plist_get_node_type(classNode) != PLIST_STRING)
        return fail("object " + std::to_string(uid) + " has no class");
    std::string className = stringOf(classNode);
    if (className == "NSNull")
        return Value::null();
    if (className == "NSArray")
        return decodeArray(entry, depth);
    if (className == "NSDictionary")
        return decodeDictionary(entry, depth);
    return decodeCodedObject(entry, uid, className, depth);
}

Value NSKeyedUnarchiver::decodeArray(plist_t entry, int depth)
{
    plist_t refs = plist_dict_get_item(entry, "NS.objects");
    if (!refs || plist_get_node_type(refs) != PLIST_ARRAY)
        return fail("array without its objects");
    Value::Array items;
    std::uint32_t n = plist_array_get_size(refs);
    items.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        plist_t ref = plist_array_get_item(refs, i);
        if (plist_get_node_type(ref) != PLIST_UID)
            return fail("array element is not a reference");
        std::uint64_t uid = 0;
        plist_get_uid_val(ref, &uid);
        Value item = decode(uid, depth + 1);
        if (error())
            return {};
        if (item.isAbsent())
            return fail("array holds nil");
        items.push_back(std::move(item));
    }
    return Value(std::move(items));
}

Value NSKeyedUnarchiver::decodeDictionary(plist_t entry, int depth)
{
    plist_t keys = plist_dict_get_item(entry, "NS.keys");
    plist_t refs = plist_dict_get_item(entry, "NS.objects");
    if (!keys || !refs || plist_get_node_type(keys) != PLIST_ARRAY || plist_get_node_type(refs) != PLIST_ARRAY
        || plist_array_get_size(keys) != plist_array_get_size(refs))
        return fail("dictionary without matching keys and objects");
    Value::Dictionary entries;
    std::uint32_t n = plist_array_get_size(keys);
    for (std::uint32_t i = 0; i < n; ++i) {
        plist_t key = plist_array_get_item(keys, i);
        plist_t ref = plist_array_get_item(refs, i);
        if (plist_get_node_type(key) != PLIST_STRING || plist_get_node_type(ref) != PLIST_UID)
            return fail("dictionary entry is malformed");
        std::uint64_t uid = 0;
        plist_get_uid_val(ref, &uid);
        Value item = decode(uid, depth + 1);
        if (error())
            return {};
        if (item.isAbsent())
            return fail("dictionary holds nil");
        entries.insert_or_assign(persistence::plist::readString(key), std::move(item));
    }
    return Value(std::move(entries));
}

Value NSKeyedUnarchiver::decodeCodedObject(plist_t entry, std::uint64_t uid, const std::string& className, int depth)
{
    auto registered = persistence::findCodingClass(className);
    if (!registered)
        return fail("cannot decode object of class (" + className + ")");
    if (secure_ && !registered->supportsSecureCoding)
        return fail("class (" + className + ") does not support secure coding");
    if (registered->readOnlyWhereAskedFor && !askedFor_.count(uid))
        return fail("class (" + className + ") is read only where it is asked for");
    plist_t saved = current_;
    int savedDepth = depth_;
    current_ = entry;
    depth_ = depth;
    NSObjectRef object = registered->decode(*this);
    current_ = saved;
    depth_ = savedDepth;
    if (error())
        return {};
    if (!object)
        return fail("object of class (" + className + ") refused its archive");
    return Value(object);
}

plist_t NSKeyedUnarchiver::field(std::string_view key) const
{
    if (!current_)
        return nullptr;
    return plist_dict_get_item(current_, storedKey(key).c_str());
}

bool NSKeyedUnarchiver::entryMayBeOfClass(std::uint64_t uid, std::string_view className) const
{
    if (uid == 0 || uid >= count_)
        return true; // nil, or a bad reference that decoding refuses
    plist_t entry = plist_array_get_item(objects_, static_cast<std::uint32_t>(uid));
    if (!entry || plist_get_node_type(entry) != PLIST_DICT)
        return true; // a plain value, checked once read
    plist_t classNode = plist_dict_get_item(entry, "$class");
    std::string stored = classNode ? stringOf(classNode) : std::string();
    if (stored == "NSArray" || stored == "NSDictionary" || stored == "NSNull" || stored.empty())
        return true;
    if (!persistence::storedClassIsKindOf(stored, className))
        return !secure_;
    askedFor_.insert(uid);
    return true;
}

bool NSKeyedUnarchiver::fieldMayBeOfClass(std::string_view className, std::string_view key) const
{
    plist_t node = field(key);
    if (!node || plist_get_node_type(node) != PLIST_UID)
        return true;
    std::uint64_t uid = 0;
    plist_get_uid_val(node, &uid);
    return entryMayBeOfClass(uid, className);
}

bool NSKeyedUnarchiver::containsValueForKey(std::string_view key) const
{
    return field(key) != nullptr;
}

Value NSKeyedUnarchiver::decodeObjectForKey(std::string_view key)
{
    plist_t node = field(key);
    if (!node)
        return {};
    if (plist_get_node_type(node) == PLIST_UID) {
        std::uint64_t uid = 0;
        plist_get_uid_val(node, &uid);
        return decode(uid, depth_ + 1);
    }
    std::string problem;
    auto value = persistence::plist::toValue(node, &problem);
    if (!value || value->isArray() || value->isDictionary())
        return fail("field '" + std::string(key) + "' is malformed");
    return *value;
}

std::int64_t NSKeyedUnarchiver::decodeIntegerForKey(std::string_view key)
{
    plist_t node = field(key);
    if (!node || plist_get_node_type(node) == PLIST_UID)
        return decodeObjectForKey(key).integerValue();
    std::string problem;
    auto value = persistence::plist::toValue(node, &problem);
    return value ? value->integerValue() : 0;
}

bool NSKeyedUnarchiver::decodeBoolForKey(std::string_view key)
{
    plist_t node = field(key);
    if (!node || plist_get_node_type(node) == PLIST_UID)
        return decodeObjectForKey(key).boolValue();
    std::string problem;
    auto value = persistence::plist::toValue(node, &problem);
    return value ? value->boolValue() : false;
}

double NSKeyedUnarchiver::decodeDoubleForKey(std::string_view key)
{
    plist_t node = field(key);
    if (!node || plist_get_node_type(node) == PLIST_UID)
        return decodeObjectForKey(key).doubleValue();
    std::string problem;
    auto value = persistence::plist::toValue(node, &problem);
    return value ? value->doubleValue() : 0;
}
