// Value: construction, typed reads, lenient number reads, equality and hashing.
// The "%@" description lives in ValueDescription.cpp.
#include "platform/foundation/Value.h"

#include "platform/foundation/ValueArena.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <functional>
#include <stdexcept>

namespace {

using foundation::detail::Arena;
using foundation::detail::ArenaArray;
using foundation::detail::ArenaDictionary;

const std::string& emptyString()
{
    static const std::string s;
    return s;
}

const Bytes& emptyData()
{
    static const Bytes d;
    return d;
}

const Value::Array& emptyArray()
{
    static const Value::Array a;
    return a;
}

const Value::Dictionary& emptyDictionary()
{
    static const Value::Dictionary d;
    return d;
}

// Reads "  -12abc" as -12, clamping to the 64-bit range as the platform does.
std::int64_t lenientInteger(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
        std::uint64_t digit = static_cast<std::uint64_t>(s[i] - '0');
        if (magnitude > (UINT64_MAX - digit) / 10) {
            overflow = true;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (negative) {
        if (overflow || magnitude > static_cast<std::uint64_t>(INT64_MAX) + 1)
            return INT64_MIN;
        return magnitude == static_cast<std::uint64_t>(INT64_MAX) + 1 ? INT64_MIN
                                                                       : -static_cast<std::int64_t>(magnitude);
    }
    if (overflow || magnitude > static_cast<std::uint64_t>(INT64_MAX))
        return INT64_MAX;
    return static_cast<std::int64_t>(magnitude);
}

// Reads the longest numeric prefix after leading blanks; no number gives 0.
double lenientDouble(const std::string& s)
{
    const char* begin = s.c_str();
    while (*begin && std::isspace(static_cast<unsigned char>(*begin)))
        ++begin;
    // strtod also accepts "inf", "nan" and hexadecimal floats; the platform reads only decimals.
    const char* p = begin;
    if (*p == '+' || *p == '-')
        ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p)) && !(*p == '.' && std::isdigit(static_cast<unsigned char>(p[1]))))
        return 0;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        return 0;
    return std::strtod(begin, nullptr);
}

std::int64_t truncateDouble(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= 9223372036854775807.0)
        return INT64_MAX;
    if (d <= -9223372036854775808.0)
        return INT64_MIN;
    return static_cast<std::int64_t>(d);
}

std::size_t combine(std::size_t seed, std::size_t h)
{
    return seed ^ (h + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

} // namespace

const Value& absentValue()
{
    static const Value v;
    return v;
}

Value::Value(bool b)
    : storage_(b)
{
}

Value::Value(double d)
    : storage_(d)
{
}

Value::Value(const foundation::Decimal& d)
    : storage_(d)
{
}

Value::Value(const char* s)
{
    if (s)
        storage_ = std::string(s);
}

Value::Value(std::string s)
    : storage_(std::move(s))
{
}

Value::Value(std::string_view s)
    : storage_(std::in_place_type<std::string>, s)
{
}

Value::Value(Bytes data)
    : storage_(std::make_shared<const Bytes>(std::move(data)))
{
}

Value::Value(Array array)
    : storage_(std::make_shared<Array>(std::move(array)))
{
}

Value::Value(Dictionary dictionary)
    : storage_(std::make_shared<Dictionary>(std::move(dictionary)))
{
}

Value::Value(NSObjectRef object)
{
    if (object)
        storage_ = std::move(object);
}

Value Value::null()
{
    Value v;
    v.storage_ = NullTag {};
    return v;
}

Value Value::date(double secondsSince1970)
{
    Value v;
    v.storage_ = DateBox { secondsSince1970 };
    return v;
}

Value Value::array(std::initializer_list<Value> items)
{
    Array a;
    a.reserve(items.size());
    for (const Value& item : items)
        if (!item.isAbsent())
            a.push_back(item);
    return Value(std::move(a));
}

Value Value::dictionary(std::initializer_list<std::pair<const std::string, Value>> items)
{
    Dictionary::Storage entries;
    entries.reserve(items.size());
    for (const auto& [key, value] : items)
        if (!value.isAbsent())
            entries.emplace_back(key, value);
    return Value(Dictionary::fromEntries(std::move(entries)));
}

Value::Type Value::type() const
{
    static constexpr Type kTypes[] = { Type::Absent, Type::Null, Type::Bool, Type::Integer, Type::Unsigned,
        Type::Double, Type::Decimal, Type::String, Type::Data, Type::Date, Type::Array, Type::Dictionary, Type::Object,
        Type::Array, Type::Dictionary };
    static_assert(std::size(kTypes) == std::variant_size_v<decltype(storage_)>);
    return kTypes[storage_.index()];
}

const foundation::detail::ArenaNode* Value::arenaArray() const
{
    auto p = std::get_if<ArenaArrayRef>(&storage_);
    return p ? p->node : nullptr;
}

const foundation::detail::ArenaNode* Value::arenaDictionary() const
{
    auto p = std::get_if<ArenaDictionaryRef>(&storage_);
    return p ? p->node : nullptr;
}

bool Value::isNumber() const
{
    Type t = type();
    return t == Type::Bool || t == Type::Integer || t == Type::Unsigned || t == Type::Double || t == Type::Decimal;
}

const std::string& Value::asString() const
{
    if (auto p = std::get_if<std::string>(&storage_))
        return *p;
    return emptyString();
}

const Bytes& Value::asData() const
{
    if (auto p = std::get_if<DataPtr>(&storage_))
        return **p;
    return emptyData();
}

const Value::Array& Value::asArray() const
{
    if (auto p = std::get_if<ArrayPtr>(&storage_))
        return **p;
    if (auto node = static_cast<const ArenaArray*>(arenaArray()))
        return node->arena->arrayView(*node);
    return emptyArray();
}

const Value::Dictionary& Value::asDictionary() const
{
    if (auto p = std::get_if<DictionaryPtr>(&storage_))
        return **p;
    if (auto node = static_cast<const ArenaDictionary*>(arenaDictionary()))
        return node->arena->dictionaryView(*node);
    return emptyDictionary();
}

std::span<const Value> Value::elements() const
{
    if (auto p = std::get_if<ArrayPtr>(&storage_))
        return **p;
    if (auto node = static_cast<const ArenaArray*>(arenaArray()))
        return { node->items, node->count };
    return {};
}

ValueEntries Value::entries() const
{
    if (auto p = std::get_if<DictionaryPtr>(&storage_))
        return ValueEntries(**p);
    if (auto node = static_cast<const ArenaDictionary*>(arenaDictionary()))
        return ValueEntries(node->shape->keys, node->values, node->count);
    return {};
}

double Value::asDate() const
{
    if (auto p = std::get_if<DateBox>(&storage_))
        return p->secondsSince1970;
    return 0;
}

const foundation::Decimal* Value::asDecimal() const
{
    return std::get_if<foundation::Decimal>(&storage_);
}

NSObjectRef Value::asObject() const
{
    if (auto p = std::get_if<NSObjectRef>(&storage_))
        return *p;
    return nullptr;
}

std::int64_t Value::integerValue() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(storage_) ? 1 : 0;
    case Type::Integer:
        return std::get<std::int64_t>(storage_);
    case Type::Unsigned:
        return static_cast<std::int64_t>(std::get<UnsignedBox>(storage_).value);
    case Type::Double:
        return truncateDouble(std::get<double>(storage_));
    case Type::Decimal:
        return asDecimal()->toInt64().value_or(truncateDouble(asDecimal()->toDouble()));
    case Type::String:
        return lenientInteger(asString());
    default:
        return 0;
    }
}

std::uint64_t Value::unsignedValue() const
{
    if (type() == Type::Unsigned)
        return std::get<UnsignedBox>(storage_).value;
    if (type() == Type::Decimal && asDecimal()->toUInt64())
        return *asDecimal()->toUInt64();
    if (type() == Type::Double || type() == Type::Decimal) {
        double d = doubleValue();
        if (d >= 18446744073709551615.0)
            return UINT64_MAX;
        if (d >= 0)
            return static_cast<std::uint64_t>(d);
    }
    return static_cast<std::uint64_t>(integerValue());
}

double Value::doubleValue() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(storage_) ? 1 : 0;
    case Type::Integer:
        return static_cast<double>(std::get<std::int64_t>(storage_));
    case Type::Unsigned:
        return static_cast<double>(std::get<UnsignedBox>(storage_).value);
    case Type::Double:
        return std::get<double>(storage_);
    case Type::Decimal:
        return asDecimal()->toDouble();
    case Type::String:
        return lenientDouble(asString());
    case Type::Date:
        return asDate();
    default:
        return 0;
    }
}

bool Value::boolValue() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(storage_);
    case Type::Integer:
        return std::get<std::int64_t>(storage_) != 0;
    case Type::Unsigned:
        return std::get<UnsignedBox>(storage_).value != 0;
    case Type::Double:
        return std::get<double>(storage_) != 0;
    case Type::Decimal:
        return !asDecimal()->isZero();
    case Type::String: {
        const std::string& s = asString();
        std::size_t i = 0;
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
            ++i;
        if (i < s.size() && (s[i] == 'Y' || s[i] == 'y' || s[i] == 'T' || s[i] == 't'))
            return true;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        while (i < s.size() && s[i] == '0')
            ++i;
        return i < s.size() && s[i] >= '1' && s[i] <= '9';
    }
    default:
        return false;
    }
}

std::size_t Value::count() const
{
    switch (type()) {
    case Type::Array:
        return elements().size();
    case Type::Dictionary:
        return entries().size();
    case Type::Data:
        return asData().size();
    default:
        return 0;
    }
}

const Value& Value::operator[](std::string_view key) const
{
    if (auto node = static_cast<const ArenaDictionary*>(arenaDictionary())) {
        const Value* found = node->find(key);
        return found ? *found : absentValue();
    }
    auto p = std::get_if<DictionaryPtr>(&storage_);
    if (!p)
        return absentValue();
    auto it = (*p)->find(key);
    return it == (*p)->end() ? absentValue() : it->second;
}

const Value& Value::operator[](std::size_t index) const
{
    std::span<const Value> items = elements();
    return index < items.size() ? items[index] : absentValue();
}

const Value& Value::operator[](int index) const
{
    if (index < 0)
        return absentValue();
    return (*this)[static_cast<std::size_t>(index)];
}

bool Value::contains(std::string_view key) const
{
    if (auto node = static_cast<const ArenaDictionary*>(arenaDictionary()))
        return node->find(key) != nullptr;
    auto p = std::get_if<DictionaryPtr>(&storage_);
    return p && (*p)->find(key) != (*p)->end();
}

// The first write to an arena container copies it into a std container of its own.
Value::Dictionary* Value::mutableDictionary()
{
    if (auto node = static_cast<const ArenaDictionary*>(arenaDictionary()))
        storage_ = std::make_shared<Dictionary>(Arena::copyDictionary(*node));
    auto p = std::get_if<DictionaryPtr>(&storage_);
    if (!p)
        return nullptr;
    if (p->use_count() > 1)
        *p = std::make_shared<Dictionary>(**p);
    return p->get();
}

Value::Array* Value::mutableArray()
{
    if (auto node = static_cast<const ArenaArray*>(arenaArray()))
        storage_ = std::make_shared<Array>(Arena::copyArray(*node));
    auto p = std::get_if<ArrayPtr>(&storage_);
    if (!p)
        return nullptr;
    if (p->use_count() > 1)
        *p = std::make_shared<Array>(**p);
    return p->get();
}

void Value::set(std::string key, Value value)
{
    if (isAbsent())
        storage_ = std::make_shared<Dictionary>();
    Dictionary* d = mutableDictionary();
    if (!d)
        return;
    if (value.isAbsent())
        d->erase(std::string_view(key));
    else
        d->insert_or_assign(std::move(key), std::move(value));
}

void Value::remove(std::string_view key)
{
    if (!contains(key))
        return;
    mutableDictionary()->erase(key);
}

void Value::append(Value value)
{
    if (isAbsent())
        storage_ = std::make_shared<Array>();
    Array* a = mutableArray();
    if (!a || value.isAbsent())
        return;
    a->push_back(std::move(value));
}

void Value::removeAt(std::size_t index)
{
    if (!isArray() || index >= count())
        return;
    Array* a = mutableArray();
    a->erase(a->begin() + static_cast<std::ptrdiff_t>(index));
}

namespace {

// A number other than a double as an exact decimal.
foundation::Decimal exactDecimal(const Value& v)
{
    if (const foundation::Decimal* d = v.asDecimal())
        return *d;
    if (v.type() == Value::Type::Unsigned)
        return foundation::Decimal::fromUnsigned(v.unsignedValue());
    return foundation::Decimal::fromInteger(v.integerValue());
}

} // namespace

bool operator==(const Value& a, const Value& b)
{
    using Type = Value::Type;
    if (a.isNumber() && b.isNumber()) {
        // Integers and decimals compare exactly; anything involving a double compares as doubles.
        if (a.type() == Type::Double || b.type() == Type::Double)
            return a.doubleValue() == b.doubleValue();
        if (a.isDecimal() || b.isDecimal())
            return exactDecimal(a) == exactDecimal(b);
        bool aUnsigned = a.type() == Type::Unsigned, bUnsigned = b.type() == Type::Unsigned;
        if (aUnsigned || bUnsigned)
            return aUnsigned == bUnsigned && a.unsignedValue() == b.unsignedValue();
        return a.integerValue() == b.integerValue();
    }
    if (a.type() != b.type())
        return false;
    switch (a.type()) {
    case Type::Absent:
    case Type::Null:
        return true;
    case Type::String:
        return a.asString() == b.asString();
    case Type::Data:
        return a.asData() == b.asData();
    case Type::Date:
        return a.asDate() == b.asDate();
    case Type::Array:
        return std::ranges::equal(a.elements(), b.elements());
    case Type::Dictionary: {
        ValueEntries x = a.entries(), y = b.entries();
        if (x.size() != y.size())
            return false;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (x.keyAt(i) != y.keyAt(i) || !(x.valueAt(i) == y.valueAt(i)))
                return false;
        }
        return true;
    }
    case Type::Object: {
        NSObjectRef x = a.asObject(), y = b.asObject();
        return x == y || x->isEqual(*y);
    }
    default:
        return false;
    }
}

std::size_t Value::hash() const
{
    switch (type()) {
    case Type::Absent:
        return 0;
    case Type::Null:
        return 1;
    case Type::Bool:
    case Type::Integer:
    case Type::Unsigned:
    case Type::Double: {
        // Equal numbers of any kind hash alike: hash the double, or the integer when exact.
        double d = doubleValue();
        if (type() != Type::Double || (std::trunc(d) == d && std::fabs(d) < 9.2e18))
            return std::hash<std::int64_t> {}(type() == Type::Double ? static_cast<std::int64_t>(d) : integerValue());
        return std::hash<double> {}(d);
    }
    case Type::Decimal: {
        // As the integer or the double it equals.
        const foundation::Decimal& d = *asDecimal();
        if (d.isIntegral()) {
            if (auto i = d.toInt64())
                return std::hash<std::int64_t> {}(*i);
            if (auto u = d.toUInt64())
                return std::hash<std::int64_t> {}(static_cast<std::int64_t>(*u));
        }
        return std::hash<double> {}(d.toDouble());
    }
    case Type::String:
        return std::hash<std::string> {}(asString());
    case Type::Data:
        return std::hash<std::string_view> {}(
            std::string_view(reinterpret_cast<const char*>(asData().data()), asData().size()));
    case Type::Date:
        return std::hash<double> {}(asDate());
    case Type::Array: {
        std::span<const Value> items = elements();
        return combine(items.size(), items.empty() ? 0 : items.front().hash());
    }
    case Type::Dictionary:
        return combine(entries().size() * 31, 7);
    case Type::Object:
        return asObject()->hash();
    }
    return 0;
}

ValueDictionary::ValueDictionary(std::initializer_list<value_type> entries)
{
    *this = fromEntries(Storage(entries));
}

ValueDictionary ValueDictionary::fromEntries(Storage entries)
{
    // Keys mostly differ in their first byte, which is looked at before the general comparison.
    auto byKey = [](const value_type& a, const value_type& b) {
        if (!a.first.empty() && !b.first.empty() && a.first[0] != b.first[0])
            return static_cast<unsigned char>(a.first[0]) < static_cast<unsigned char>(b.first[0]);
        return a.first < b.first;
    };
    auto strictlyOrdered = [&byKey](const value_type& a, const value_type& b) { return !byKey(a, b); };
    ValueDictionary d;
    // Entries that already stand in order with no repeated key need no work.
    if (std::adjacent_find(entries.begin(), entries.end(), strictlyOrdered) == entries.end()) {
        d.entries_ = std::move(entries);
        return d;
    }
    if (entries.size() <= 32) {
        // Small objects (the usual case) sort in place without the buffer stable_sort allocates.
        for (std::size_t i = 1; i < entries.size(); ++i) {
            for (std::size_t j = i; j > 0 && byKey(entries[j], entries[j - 1]); --j)
                std::swap(entries[j], entries[j - 1]);
        }
    } else {
        std::stable_sort(entries.begin(), entries.end(), byKey);
    }
    // Keep the last of each run of equal keys, in place.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (kept > 0 && entries[kept - 1].first == entries[i].first)
            entries[kept - 1].second = std::move(entries[i].second);
        else if (kept != i)
            entries[kept++] = std::move(entries[i]);
        else
            ++kept;
    }
    entries.resize(kept);
    d.entries_ = std::move(entries);
    return d;
}

ValueDictionary::iterator ValueDictionary::lower_bound(std::string_view key)
{
    return std::lower_bound(entries_.begin(), entries_.end(), key,
        [](const value_type& entry, std::string_view k) { return std::string_view(entry.first) < k; });
}

ValueDictionary::const_iterator ValueDictionary::lower_bound(std::string_view key) const
{
    return std::lower_bound(entries_.begin(), entries_.end(), key,
        [](const value_type& entry, std::string_view k) { return std::string_view(entry.first) < k; });
}

ValueDictionary::iterator ValueDictionary::find(std::string_view key)
{
    auto it = lower_bound(key);
    return it != entries_.end() && it->first == key ? it : entries_.end();
}

ValueDictionary::const_iterator ValueDictionary::find(std::string_view key) const
{
    auto it = lower_bound(key);
    return it != entries_.end() && it->first == key ? it : entries_.end();
}

const Value& ValueDictionary::at(std::string_view key) const
{
    auto it = find(key);
    if (it == end())
        throw std::out_of_range("no such key in dictionary");
    return it->second;
}

Value& ValueDictionary::at(std::string_view key)
{
    auto it = find(key);
    if (it == end())
        throw std::out_of_range("no such key in dictionary");
    return it->second;
}

std::pair<ValueDictionary::iterator, bool> ValueDictionary::insert_or_assign(std::string key, Value value)
{
    // Keys that arrive in order append without a search.
    if (entries_.empty() || entries_.back().first < key) {
        entries_.emplace_back(std::move(key), std::move(value));
        return { entries_.end() - 1, true };
    }
    auto it = lower_bound(key);
    if (it != entries_.end() && it->first == key) {
        it->second = std::move(value);
        return { it, false };
    }
    return { entries_.emplace(it, std::move(key), std::move(value)), true };
}

ValueDictionary::iterator ValueDictionary::insert_or_assign(const_iterator, std::string key, Value value)
{
    return insert_or_assign(std::move(key), std::move(value)).first;
}

std::pair<ValueDictionary::iterator, bool> ValueDictionary::try_emplace(std::string key, Value value)
{
    auto it = lower_bound(key);
    if (it != entries_.end() && it->first == key)
        return { it, false };
    return { entries_.emplace(it, std::move(key), std::move(value)), true };
}

Value& ValueDictionary::operator[](std::string_view key)
{
    auto it = lower_bound(key);
    if (it != entries_.end() && it->first == key)
        return it->second;
    return entries_.emplace(it, std::string(key), Value())->second;
}

ValueDictionary::size_type ValueDictionary::erase(std::string_view key)
{
    auto it = find(key);
    if (it == entries_.end())
        return 0;
    entries_.erase(it);
    return 1;
}
