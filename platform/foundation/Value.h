// Value: the dynamic value of JSON, property-list, user-info and reply-dictionary data.
// It stands in for the platform's NSNumber, NSString, NSData, NSDate, NSNull, NSArray and
// NSDictionary, plus a reference to an object with identity. Absent (nil) and null (NSNull)
// are different things. Containers are copy-on-write values: copying a Value is cheap, and
// changing one copy never changes another. Code that must share one mutable container holds
// a std::shared_ptr<Value>.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "platform/foundation/Decimal.h"
#include "platform/foundation/NSObject.h"

using Bytes = std::vector<std::uint8_t>;

class ValueDictionary;
class ValueEntries;

namespace foundation {
class ValueBuilder;
namespace detail {
    class Arena;
    struct ArenaNode;
    std::shared_ptr<Arena> ownerOf(const ArenaNode* node);
}
}

class Value {
public:
    enum class Type {
        Absent, // nil: a missing key, an object not there
        Null, // NSNull
        Bool,
        Integer, // signed 64-bit
        Unsigned, // unsigned 64-bit, for values above INT64_MAX
        Double,
        Decimal, // an exact decimal number (foundation::Decimal), as JTJsonParser reads fractions
        String, // UTF-8
        Data,
        Date, // seconds since 1970
        Array,
        Dictionary, // string keys, kept sorted
        Object, // a reference to an NSObject
    };

    using Array = std::vector<Value>;
    using Dictionary = ValueDictionary;

    // Construction. A default Value is absent.
    Value() = default;
    Value(bool b);
    template <typename T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>)
    Value(T v)
    {
        if constexpr (std::is_signed_v<T>)
            storage_ = static_cast<std::int64_t>(v);
        else if (static_cast<std::uint64_t>(v) <= static_cast<std::uint64_t>(INT64_MAX))
            storage_ = static_cast<std::int64_t>(v);
        else
            storage_ = UnsignedBox { static_cast<std::uint64_t>(v) };
    }
    Value(double d);
    Value(float f)
        : Value(static_cast<double>(f))
    {
    }
    Value(const foundation::Decimal& d);
    Value(const char* s); // nullptr gives absent
    Value(std::string s);
    Value(std::string_view s);
    Value(Bytes data);
    Value(Array array);
    Value(Dictionary dictionary);
    Value(NSObjectRef object); // nullptr gives absent
    template <typename T>
        requires std::is_base_of_v<NSObject, T>
    Value(std::shared_ptr<T> object)
        : Value(std::static_pointer_cast<NSObject>(std::move(object)))
    {
    }

    static Value null();
    static Value date(double secondsSince1970);
    static Value array(std::initializer_list<Value> items = {});
    static Value dictionary(std::initializer_list<std::pair<const std::string, Value>> items = {});

    // Kind.
    Type type() const;
    bool isAbsent() const { return type() == Type::Absent; }
    bool isNull() const { return type() == Type::Null; }
    // Absent or null: "no usable value".
    bool isNil() const { return isAbsent() || isNull(); }
    bool isBool() const { return type() == Type::Bool; }
    // Bool, integer, unsigned, double or decimal: what the platform calls a number.
    bool isNumber() const;
    bool isInteger() const { return type() == Type::Integer || type() == Type::Unsigned; }
    bool isDouble() const { return type() == Type::Double; }
    bool isDecimal() const { return type() == Type::Decimal; }
    bool isString() const { return type() == Type::String; }
    bool isData() const { return type() == Type::Data; }
    bool isDate() const { return type() == Type::Date; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isObject() const { return type() == Type::Object; }
    explicit operator bool() const { return !isAbsent(); }

    // Typed reads. Each returns an empty value of its kind when the Value is another kind,
    // so a read never crashes on data of the wrong shape.
    const std::string& asString() const;
    const Bytes& asData() const;
    const Array& asArray() const;
    const Dictionary& asDictionary() const;
    // The elements of an array, or the entries of a dictionary in key order, read where they
    // are without making a std container; empty for other kinds. Valid while this Value lives
    // unchanged.
    std::span<const Value> elements() const;
    ValueEntries entries() const;
    double asDate() const; // 0 unless a date
    const foundation::Decimal* asDecimal() const; // nullptr unless a decimal
    NSObjectRef asObject() const; // nullptr unless an object
    template <typename T>
    std::shared_ptr<T> asObject() const
    {
        return std::dynamic_pointer_cast<T>(asObject());
    }

    // Lenient conversions, as the platform reads numbers and strings:
    // a string skips leading blanks, takes a sign and digits and stops at anything else
    // (" 12abc" gives 12, "x" gives 0); doubles truncate; null, containers and absent give 0.
    std::int64_t integerValue() const;
    std::uint64_t unsignedValue() const;
    int intValue() const { return static_cast<int>(integerValue()); }
    double doubleValue() const;
    // Numbers: non-zero. Strings: "Y", "y", "T", "t" or a digit 1-9 after blanks, a sign and zeros.
    bool boolValue() const;
    // The "%@" text: "(null)" for absent, "<null>" for null, integers in decimal, booleans
    // "1"/"0", doubles in shortest round-trip form (7.0 gives "7"), strings as they are,
    // decimals in plain decimal text ("0.1"), containers in the platform's property-list style.
    std::string description() const;
    // The text of a string, or the description of anything else (absent gives "(null)").
    std::string stringValue() const { return description(); }

    // Containers.
    std::size_t count() const; // elements, entries, bytes of data, or 0
    // Keyed read: absent when this is not a dictionary or has no such key.
    const Value& operator[](std::string_view key) const;
    // Indexed read: absent when this is not an array or the index is out of range.
    const Value& operator[](std::size_t index) const;
    const Value& operator[](int index) const;
    bool contains(std::string_view key) const;

    // Mutation in place (copy-on-write). `set` on an absent Value makes it a dictionary;
    // setting an absent value removes the key. `set` on any other kind does nothing.
    void set(std::string key, Value value);
    void remove(std::string_view key);
    // `append` on an absent Value makes it an array; an absent element is not added.
    void append(Value value);
    void removeAt(std::size_t index);
    // Writable access; nullptr when the Value is not of that kind.
    Dictionary* mutableDictionary();
    Array* mutableArray();

    // Equality as the platform compares objects: numbers by value across kinds (1 == 1.0 == true),
    // strings by bytes, containers deeply, objects by isEqual.
    friend bool operator==(const Value& a, const Value& b);
    std::size_t hash() const;

private:
    friend class foundation::detail::Arena;
    friend class foundation::ValueBuilder;

    // A container in an arena. A reference held inside its own arena (an element of an arena
    // container) has no owner, since the arena cannot keep itself alive; a copy of it takes
    // the arena as owner, so that every Value outside the arena keeps the arena alive.
    template <int Kind>
    struct ArenaRef {
        const foundation::detail::ArenaNode* node = nullptr;
        std::shared_ptr<foundation::detail::Arena> owner;

        ArenaRef(const foundation::detail::ArenaNode* n, std::shared_ptr<foundation::detail::Arena> o)
            : node(n)
            , owner(std::move(o))
        {
        }
        ArenaRef(const ArenaRef& other)
            : node(other.node)
            , owner(other.owner || !other.node ? other.owner : foundation::detail::ownerOf(other.node))
        {
        }
        ArenaRef& operator=(const ArenaRef& other)
        {
            if (this != &other)
                *this = ArenaRef(other);
            return *this;
        }
        // A moved-from reference refers to nothing and reads as an empty container.
        ArenaRef(ArenaRef&& other) noexcept
            : node(std::exchange(other.node, nullptr))
            , owner(std::move(other.owner))
        {
        }
        ArenaRef& operator=(ArenaRef&& other) noexcept
        {
            if (this != &other) {
                node = std::exchange(other.node, nullptr);
                owner = std::move(other.owner);
            }
            return *this;
        }
    };
    using ArenaArrayRef = ArenaRef<0>;
    using ArenaDictionaryRef = ArenaRef<1>;
    static constexpr std::size_t kArenaArrayIndex = 13;
    static constexpr std::size_t kArenaDictionaryIndex = 14;

    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct UnsignedBox {
        std::uint64_t value;
    };
    struct DateBox {
        double secondsSince1970;
    };
    using DataPtr = std::shared_ptr<const Bytes>;
    using ArrayPtr = std::shared_ptr<Array>;
    using DictionaryPtr = std::shared_ptr<Dictionary>;

    // Strings are held inline (short ones need no allocation); data and containers are shared
    // until written to.
    // The order of the alternatives follows Type; the arena containers come last.
    // A decimal is held inline too: it is no larger than a string, so it costs other Values nothing.
    std::variant<std::monostate, NullTag, bool, std::int64_t, UnsignedBox, double, foundation::Decimal, std::string,
        DataPtr, DateBox, ArrayPtr, DictionaryPtr, NSObjectRef, ArenaArrayRef, ArenaDictionaryRef>
        storage_;
    static_assert(sizeof(foundation::Decimal) <= sizeof(std::string));

    const foundation::detail::ArenaNode* arenaArray() const;
    const foundation::detail::ArenaNode* arenaDictionary() const;
};

// The dictionary of a Value: entries kept sorted by key in one vector, so that building,
// walking and freeing a dictionary costs a few allocations rather than one per entry. It offers
// the map operations callers use. Unlike a node map, adding or removing an entry moves the
// others: do not keep references to entries across such changes.
class ValueDictionary {
public:
    using key_type = std::string;
    using mapped_type = Value;
    using value_type = std::pair<std::string, Value>;
    using Storage = std::vector<value_type>;
    using iterator = Storage::iterator;
    using const_iterator = Storage::const_iterator;
    using size_type = std::size_t;

    ValueDictionary() = default;
    ValueDictionary(std::initializer_list<value_type> entries);
    // Takes entries in any order; of several entries with one key the last wins.
    static ValueDictionary fromEntries(Storage entries);

    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    const_iterator cbegin() const { return entries_.cbegin(); }
    const_iterator cend() const { return entries_.cend(); }
    size_type size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear() { entries_.clear(); }
    void reserve(size_type n) { entries_.reserve(n); }

    iterator lower_bound(std::string_view key);
    const_iterator lower_bound(std::string_view key) const;
    iterator find(std::string_view key);
    const_iterator find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != end(); }
    size_type count(std::string_view key) const { return contains(key) ? 1 : 0; }
    // Throws std::out_of_range when the key is missing.
    const Value& at(std::string_view key) const;
    Value& at(std::string_view key);

    std::pair<iterator, bool> insert_or_assign(std::string key, Value value);
    // The hint is accepted for map compatibility; appending keys in order is fast either way.
    iterator insert_or_assign(const_iterator hint, std::string key, Value value);
    std::pair<iterator, bool> try_emplace(std::string key, Value value);
    std::pair<iterator, bool> emplace(std::string key, Value value) { return try_emplace(std::move(key), std::move(value)); }
    std::pair<iterator, bool> insert(value_type entry) { return try_emplace(std::move(entry.first), std::move(entry.second)); }
    // Inserts an absent value when the key is missing.
    Value& operator[](std::string_view key);
    size_type erase(std::string_view key);
    iterator erase(const_iterator position) { return entries_.erase(position); }

    friend bool operator==(const ValueDictionary& a, const ValueDictionary& b) { return a.entries_ == b.entries_; }

private:
    Storage entries_;
};

// The entries of a dictionary in key order, read in place whichever form the dictionary has.
// `for (auto [key, value] : v.entries())` gives each key as a string_view and its value.
class ValueEntries {
public:
    struct Entry {
        std::string_view key;
        const Value& value;
    };
    class iterator {
    public:
        using difference_type = std::ptrdiff_t;
        using value_type = Entry;
        iterator() = default;
        iterator(const ValueEntries* entries, std::size_t index)
            : entries_(entries)
            , index_(index)
        {
        }
        Entry operator*() const { return { entries_->keyAt(index_), entries_->valueAt(index_) }; }
        iterator& operator++()
        {
            ++index_;
            return *this;
        }
        iterator operator++(int)
        {
            iterator old = *this;
            ++index_;
            return old;
        }
        bool operator==(const iterator& other) const { return index_ == other.index_; }

    private:
        const ValueEntries* entries_ = nullptr;
        std::size_t index_ = 0;
    };

    ValueEntries() = default;
    explicit ValueEntries(const ValueDictionary& dictionary)
        : pairs_(dictionary.begin() == dictionary.end() ? nullptr : &*dictionary.begin())
        , size_(dictionary.size())
    {
    }
    ValueEntries(const std::string_view* keys, const Value* values, std::size_t size)
        : keys_(keys)
        , values_(values)
        , size_(size)
    {
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view keyAt(std::size_t i) const { return pairs_ ? std::string_view(pairs_[i].first) : keys_[i]; }
    const Value& valueAt(std::size_t i) const { return pairs_ ? pairs_[i].second : values_[i]; }
    iterator begin() const { return { this, 0 }; }
    iterator end() const { return { this, size_ }; }

private:
    const ValueDictionary::value_type* pairs_ = nullptr;
    const std::string_view* keys_ = nullptr;
    const Value* values_ = nullptr;
    std::size_t size_ = 0;
};

struct ValueHash {
    std::size_t operator()(const Value& v) const { return v.hash(); }
};

// The one absent value, for functions that return a reference to "nothing".
const Value& absentValue();
