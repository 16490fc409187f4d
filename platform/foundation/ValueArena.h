// The arena of a document the JSON readers built: its containers, their elements, their keys,
// all bump-allocated in a few blocks and given back at once when the last Value of the document
// goes. Nodes never change once built, so any number of threads read them without locks. Objects
// of one shape (the records of a list) share one sorted key list. A string element is a Value
// like any other (short ones inline); the few Values that own memory elsewhere (long strings,
// containers of another arena) are destroyed with the arena.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"

namespace foundation::detail {

// The key lists of the objects of one shape: the keys as the document wrote them, and the same
// keys sorted with repeats dropped, with the position in the document of the value each sorted
// key takes (of repeated keys, the last).
struct Shape {
    std::uint32_t count = 0; // sorted keys
    std::uint32_t written = 0; // keys as written
    const std::string_view* keys = nullptr;
    const std::string_view* writtenKeys = nullptr;
    const std::uint32_t* order = nullptr;
    // For each key as written, its place among the sorted keys; UINT32_MAX when a later key
    // repeats it.
    const std::uint32_t* slotOf = nullptr;
};

struct ArenaNode {
    Arena* arena = nullptr;
    std::uint32_t count = 0;
};

struct ArenaArray : ArenaNode {
    const Value* items = nullptr;
    // The std container asArray() hands out, made on first call.
    mutable std::atomic<const Value::Array*> view { nullptr };
};

struct ArenaDictionary : ArenaNode {
    const Shape* shape = nullptr;
    const Value* values = nullptr; // in the order of shape->keys
    mutable std::atomic<const ValueDictionary*> view { nullptr };

    const Value* find(std::string_view key) const;
};

class Arena : public std::enable_shared_from_this<Arena> {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena();

    // Raw memory, aligned for any node or Value.
    void* allocate(std::size_t bytes);
    template <typename T>
    T* allocateArray(std::size_t count)
    {
        return static_cast<T*>(allocate(sizeof(T) * count));
    }
    std::string_view copyString(std::string_view s);

    // Takes `v`, just moved into arena memory, as part of this arena: a container of this arena
    // drops its owner (the arena owns itself), anything owning memory elsewhere is destroyed
    // with the arena.
    void settle(Value& v);

    // Container Values referring to a node of this arena, keeping the arena alive.
    Value arrayValue(const ArenaArray* node);
    Value dictionaryValue(const ArenaDictionary* node);

    // The std containers of asArray() and asDictionary(), made once under a lock; safe from
    // any thread.
    const Value::Array& arrayView(const ArenaArray& node);
    const ValueDictionary& dictionaryView(const ArenaDictionary& node);
    // Copies made for writing: independent containers whose elements keep the arena alive.
    static Value::Array copyArray(const ArenaArray& node);
    static ValueDictionary copyDictionary(const ArenaDictionary& node);

    // Forgets everything for a new document, keeping the first block; only while nothing else
    // refers to the arena.
    void reset();
    // Bytes of the blocks taken from the heap.
    std::size_t footprint() const { return footprint_; }

private:
    static Value borrowed(const Value& v);
    void destroyContents();

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    // Blocks of the largest size, which go back to a pool shared by all arenas.
    std::vector<std::unique_ptr<std::byte[]>> pooled_;
    std::byte* cursor_ = nullptr;
    std::byte* limit_ = nullptr;
    std::size_t nextBlock_ = 0;
    std::size_t firstBlock_ = 0;
    std::size_t footprint_ = 0;
    // Values in the blocks that own memory elsewhere; only the building thread adds to it.
    std::vector<Value*> owning_;
    std::mutex viewsMutex_;
    std::vector<std::unique_ptr<const Value::Array>> arrayViews_;
    std::vector<std::unique_ptr<const ValueDictionary>> dictionaryViews_;
};

} // namespace foundation::detail
