// libplist trees to and from Value, with the two gaps of libplist's public interface closed:
// integers are stored unsigned (a negative one reads back as a huge value, so its XML form tells
// the two apart), and an unsigned integer above INT64_MAX can only be made by parsing it.
#include "platform/persistence/PlistTree.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/foundation/Utf8.h"
#include "platform/persistence/TextChecks.h"

namespace persistence::plist {
namespace {

constexpr double kSecondsFrom1970To2001 = 978307200.0;
constexpr std::uint8_t kDateMarker = 0x33; // a binary list's 8-byte date
constexpr std::size_t kOneDateListSize = 8 + 9 + 1 + 32; // header, date, offset table, trailer

bool startsWith(const Bytes& data, std::string_view prefix)
{
    return data.size() >= prefix.size() && std::memcmp(data.data(), prefix.data(), prefix.size()) == 0;
}

// Where the first non-blank byte is, past a UTF-8 byte-order mark.
std::size_t firstSignificantByte(const Bytes& data)
{
    std::size_t i = startsWith(data, foundation::utf8::kByteOrderMark) ? foundation::utf8::kByteOrderMark.size() : 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return i;
}

std::uint64_t readBigEndian(const std::uint8_t* p, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value = (value << 8) | p[i];
    return value;
}

// libplist aborts on a dictionary key with a NUL inside, so a binary list whose strings hold
// one is refused before it gets there. Anything else odd is left to libplist to judge.
bool binaryStringsHoldNul(const Bytes& data)
{
    if (data.size() < 8 + 32)
        return false;
    const std::uint8_t* trailer = data.data() + data.size() - 32;
    std::size_t offsetSize = trailer[6];
    std::uint64_t count = readBigEndian(trailer + 8, 8);
    std::uint64_t table = readBigEndian(trailer + 24, 8);
    if (offsetSize == 0 || offsetSize > 8 || count > data.size() || table >= data.size()
        || count * offsetSize > data.size() - table)
        return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t at = readBigEndian(data.data() + table + i * offsetSize, offsetSize);
        if (at >= data.size())
            continue;
        std::uint8_t marker = data[at];
        std::uint8_t kind = marker >> 4;
        if (kind != 0x5 && kind != 0x6 && kind != 0x7)
            continue;
        std::uint64_t length = marker & 0x0F;
        std::uint64_t start = at + 1;
        if (length == 0x0F) {
            if (start >= data.size() || (data[start] >> 4) != 0x1)
                continue;
            std::size_t intSize = std::size_t { 1 } << (data[start] & 0x0F);
            if (intSize > 8 || start + 1 + intSize > data.size())
                continue;
            length = readBigEndian(data.data() + start + 1, intSize);
            start += 1 + intSize;
        }
        std::uint64_t unit = kind == 0x6 ? 2 : 1;
        if (length > data.size() || start + length * unit > data.size())
            continue;
        for (std::uint64_t k = 0; k < length; ++k) {
            bool zero = unit == 1 ? data[start + k] == 0 : (data[start + 2 * k] == 0 && data[start + 2 * k + 1] == 0);
            if (zero)
                return true;
        }
    }
    return false;
}

struct MallocFree {
    void operator()(char* p) const { std::free(p); }
};
using MallocText = std::unique_ptr<char, MallocFree>;

std::string xmlOf(plist_t node)
{
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    MallocText owned(xml);
    return xml ? std::string(xml, length) : std::string();
}

// libplist writes a year before 1000 with fewer than four digits ("1-01-01T00:00:00Z"), which
// other readers refuse; the XML form always has four. Text content cannot hold "<date>", as
// '<' is escaped there.
void padDateYears(Bytes& xml)
{
    static constexpr std::string_view open = "<date>";
    auto at = std::search(xml.begin(), xml.end(), open.begin(), open.end());
    while (at != xml.end()) {
        auto year = at + open.size();
        auto end = year;
        while (end != xml.end() && *end >= '0' && *end <= '9')
            ++end;
        if (end != xml.end() && *end == '-' && end != year && end - year < 4)
            year = xml.insert(year, 4 - (end - year), '0');
        at = std::search(year, xml.end(), open.begin(), open.end());
    }
}

// Calls visit(key, item) for each entry of a dictionary node in its order until visit gives false;
// false when it did.
template <typename Visit>
bool forEachEntry(plist_t node, Visit visit)
{
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node, &iter);
    MallocText ownedIter(static_cast<char*>(static_cast<void*>(iter)));
    for (;;) {
        char* rawKey = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iter, &rawKey, &item);
        MallocText key(rawKey);
        if (!item)
            return true;
        if (!visit(std::string_view(rawKey ? rawKey : ""), item))
            return false;
    }
}

// Whether each real of the tree is a negative zero, in the order the XML form writes them.
void collectNegativeZeros(plist_t node, std::vector<bool>& reals)
{
    switch (plist_get_node_type(node)) {
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        reals.push_back(d == 0 && std::signbit(d));
        return;
    }
    case PLIST_ARRAY:
        for (std::uint32_t i = 0, n = plist_array_get_size(node); i < n; ++i)
            collectNegativeZeros(plist_array_get_item(node, i), reals);
        return;
    case PLIST_DICT:
        forEachEntry(node, [&](std::string_view, plist_t item) {
            collectNegativeZeros(item, reals);
            return true;
        });
        return;
    default:
        return;
    }
}

// libplist writes a negative zero as "0.0", which reads back positive; its sign is put back.
// As with dates, text content cannot hold "<real>".
void signNegativeZeros(plist_t root, Bytes& xml)
{
    std::vector<bool> reals;
    collectNegativeZeros(root, reals);
    if (std::find(reals.begin(), reals.end(), true) == reals.end())
        return;
    static constexpr std::string_view open = "<real>";
    auto at = std::search(xml.begin(), xml.end(), open.begin(), open.end());
    for (std::size_t i = 0; i < reals.size() && at != xml.end(); ++i) {
        auto number = at + open.size();
        if (reals[i] && number != xml.end() && *number != '-')
            number = xml.insert(number, '-');
        at = std::search(number, xml.end(), open.begin(), open.end());
    }
}

bool validString(plist_t node, std::string* problem)
{
    std::string text = readString(node);
    if (isValidUTF8(text))
        return true;
    *problem = "string is not valid UTF-8";
    return false;
}

std::optional<Value> convert(plist_t node, int depth, std::string* problem);

std::optional<Value> convertArray(plist_t node, int depth, std::string* problem)
{
    Value::Array items;
    items.reserve(plist_array_get_size(node));
    plist_array_iter iter = nullptr;
    plist_array_new_iter(node, &iter);
    MallocText ownedIter(static_cast<char*>(static_cast<void*>(iter)));
    for (;;) {
        plist_t item = nullptr;
        plist_array_next_item(node, iter, &item);
        if (!item)
            break;
        auto value = convert(item, depth + 1, problem);
        if (!value)
            return std::nullopt;
        items.push_back(std::move(*value));
    }
    return Value(std::move(items));
}

std::optional<Value> convertDictionary(plist_t node, int depth, std::string* problem)
{
    Value::Dictionary entries;
    bool complete = forEachEntry(node, [&](std::string_view key, plist_t item) {
        std::string keyText(key);
        if (!isValidUTF8(keyText)) {
            *problem = "dictionary key is not valid UTF-8";
            return false;
        }
        auto value = convert(item, depth + 1, problem);
        if (!value)
            return false;
        entries.insert_or_assign(std::move(keyText), std::move(*value));
        return true;
    });
    if (!complete)
        return std::nullopt;
    return Value(std::move(entries));
}

std::optional<Value> convert(plist_t node, int depth, std::string* problem)
{
    if (depth > kMaxDepth) {
        *problem = "property list nested too deeply";
        return std::nullopt;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT:
        return readInteger(node);
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING:
        if (!validString(node, problem))
            return std::nullopt;
        return Value(readString(node));
    case PLIST_DATA: {
        std::uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        if (!bytes)
            return Value(Bytes {});
        return Value(Bytes(bytes, bytes + length));
    }
    case PLIST_DATE:
        return Value::date(readDate(node));
    case PLIST_ARRAY:
        return convertArray(node, depth, problem);
    case PLIST_DICT:
        return convertDictionary(node, depth, problem);
    case PLIST_UID: {
        // Keyed archives hold UIDs; they read as their XML form, {"CF$UID": n}.
        std::uint64_t uid = 0;
        plist_get_uid_val(node, &uid);
        return Value::dictionary({ { "CF$UID", Value(uid) } });
    }
    default:
        *problem = "unsupported property-list object";
        return std::nullopt;
    }
}

Tree build(const Value& value, int depth, std::string* problem);

Tree buildArray(const Value& value, int depth, std::string* problem)
{
    Tree array(plist_new_array());
    for (const Value& item : value.asArray()) {
        Tree child = build(item, depth + 1, problem);
        if (!child)
            return nullptr;
        plist_array_append_item(array.get(), child.release());
    }
    return array;
}

Tree buildDictionary(const Value& value, int depth, std::string* problem)
{
    Tree dict(plist_new_dict());
    for (const auto& [key, item] : value.asDictionary()) {
        if (key.find('\0') != std::string::npos) {
            *problem = "dictionary key holds a NUL character";
            return nullptr;
        }
        Tree child = build(item, depth + 1, problem);
        if (!child)
            return nullptr;
        plist_dict_set_item(dict.get(), key.c_str(), child.release());
    }
    return dict;
}

Tree build(const Value& value, int depth, std::string* problem)
{
    if (depth > kMaxDepth) {
        *problem = "property list nested too deeply";
        return nullptr;
    }
    switch (value.type()) {
    case Value::Type::Bool:
        return Tree(plist_new_bool(value.boolValue() ? 1 : 0));
    case Value::Type::Integer:
    case Value::Type::Unsigned:
        return makeInteger(value);
    case Value::Type::Double:
    case Value::Type::Decimal: // a property list has only binary reals
        return Tree(plist_new_real(value.doubleValue()));
    case Value::Type::String:
        if (value.asString().find('\0') != std::string::npos) {
            *problem = "string holds a NUL character";
            return nullptr;
        }
        return Tree(plist_new_string(value.asString().c_str()));
    case Value::Type::Data: {
        const Bytes& data = value.asData();
        return Tree(plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
    }
    case Value::Type::Date:
        return makeDate(value.asDate());
    case Value::Type::Array:
        return buildArray(value, depth, problem);
    case Value::Type::Dictionary:
        return buildDictionary(value, depth, problem);
    case Value::Type::Null:
        *problem = "property lists cannot contain 'NSNull'";
        return nullptr;
    case Value::Type::Object:
        *problem = "property lists cannot contain '" + value.asObject()->className() + "'";
        return nullptr;
    case Value::Type::Absent:
        *problem = "property lists cannot contain nil";
        return nullptr;
    }
    return nullptr;
}

} // namespace

Tree parse(const Bytes& data, NSPropertyListFormat* format, std::string* problem)
{
    if (data.size() > std::numeric_limits<std::uint32_t>::max()) {
        *problem = "property list too large";
        return nullptr;
    }
    plist_t root = nullptr;
    const char* bytes = reinterpret_cast<const char*>(data.data());
    const auto length = static_cast<std::uint32_t>(data.size());
    if (startsWith(data, "bplist00")) {
        if (binaryStringsHoldNul(data)) {
            *problem = "string holds a NUL character";
            return nullptr;
        }
        plist_from_bin(bytes, length, &root);
        if (format)
            *format = NSPropertyListBinaryFormat_v1_0;
    } else if (std::size_t start = firstSignificantByte(data); start < data.size() && data[start] == '<') {
        plist_from_xml(bytes, length, &root);
        if (format)
            *format = NSPropertyListXMLFormat_v1_0;
    } else {
        *problem = data.empty() ? "no data" : "not an XML or binary property list";
        return nullptr;
    }
    if (!root)
        *problem = "the property list is damaged";
    return Tree(root);
}

std::optional<Bytes> serialize(plist_t root, NSPropertyListFormat format)
{
    char* out = nullptr;
    std::uint32_t length = 0;
    if (format == NSPropertyListXMLFormat_v1_0)
        plist_to_xml(root, &out, &length);
    else if (format == NSPropertyListBinaryFormat_v1_0)
        plist_to_bin(root, &out, &length);
    else
        return std::nullopt;
    MallocText owned(out);
    if (!out)
        return std::nullopt;
    Bytes bytes(out, out + length);
    if (format == NSPropertyListXMLFormat_v1_0) {
        padDateYears(bytes);
        signNegativeZeros(root, bytes);
    }
    return bytes;
}

std::optional<Value> toValue(plist_t node, std::string* problem)
{
    return convert(node, 0, problem);
}

Tree fromValue(const Value& value, std::string* problem)
{
    return build(value, 0, problem);
}

Tree makeInteger(const Value& integer)
{
    if (integer.type() != Value::Type::Unsigned)
        return Tree(plist_new_uint(static_cast<std::uint64_t>(integer.integerValue())));
    // Only the parser makes the 128-bit form that keeps an unsigned value above INT64_MAX.
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><integer>"
        + std::to_string(integer.unsignedValue()) + "</integer></plist>";
    plist_t node = nullptr;
    plist_from_xml(xml.c_str(), static_cast<std::uint32_t>(xml.size()), &node);
    return Tree(node);
}

std::optional<Value> readInteger(plist_t node)
{
    std::uint64_t raw = 0;
    plist_get_uint_val(node, &raw);
    if (raw <= static_cast<std::uint64_t>(INT64_MAX))
        return Value(static_cast<std::int64_t>(raw));
    if (xmlOf(node).find("<integer>-") != std::string::npos)
        return Value(static_cast<std::int64_t>(raw));
    return Value(raw);
}

// libplist keeps a date as a double, but its date calls take 32-bit seconds (1933 to 2069) and
// misread fractions before 2001. A one-object binary list carries the double whole, so dates
// are made and read through that form.
Tree makeDate(double secondsSince1970)
{
    std::uint64_t bits = std::bit_cast<std::uint64_t>(secondsSince1970 - kSecondsFrom1970To2001);
    std::uint8_t list[kOneDateListSize] = { 'b', 'p', 'l', 'i', 's', 't', '0', '0', kDateMarker };
    for (int i = 0; i < 8; ++i)
        list[9 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    list[17] = 8; // the offset table: the one object starts at byte 8
    std::uint8_t* trailer = list + 18;
    trailer[6] = 1; // offset size
    trailer[7] = 1; // object reference size
    trailer[15] = 1; // object count
    trailer[31] = 17; // where the offset table starts
    plist_t node = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(list), sizeof list, &node);
    return Tree(node);
}

double readDate(plist_t node)
{
    char* list = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(node, &list, &length);
    MallocText owned(list);
    if (!list || length < 17 || static_cast<std::uint8_t>(list[8]) != kDateMarker)
        return kSecondsFrom1970To2001;
    std::uint64_t bits = readBigEndian(reinterpret_cast<const std::uint8_t*>(list) + 9, 8);
    return std::bit_cast<double>(bits) + kSecondsFrom1970To2001;
}

std::string readString(plist_t node)
{
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return text ? std::string(text, length) : std::string();
}

} // namespace persistence::plist
