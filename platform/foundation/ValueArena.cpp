// ValueArena: the blocks of a document's arena, the Values settled in them, and the std
// containers made from arena containers on demand.
#include "platform/foundation/ValueArena.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace foundation::detail {
namespace {

// Everything the arena holds (Values, nodes, key lists, characters) needs at most this.
constexpr std::size_t kAlignment = std::max({ alignof(Value), alignof(ArenaDictionary), alignof(std::string_view) });
constexpr std::size_t kFirstBlock = 16 * 1024;
constexpr std::size_t kLargestBlock = 64 * 1024;

// The capacity of a string that holds its characters inline.
const std::size_t kInlineCapacity = std::string().capacity();

// Blocks of the largest size that arenas have given back, for the next documents: a fresh
// block costs a page fault per page on first touch, which would cost more than the reading.
constexpr std::size_t kPooledBytes = 64 * 1024 * 1024;

class BlockPool {
public:
    std::unique_ptr<std::byte[]> take()
    {
        std::lock_guard lock(mutex_);
        if (blocks_.empty())
            return std::unique_ptr<std::byte[]>(new std::byte[kLargestBlock]);
        auto block = std::move(blocks_.back());
        blocks_.pop_back();
        return block;
    }
    void give(std::vector<std::unique_ptr<std::byte[]>>& blocks)
    {
        std::lock_guard lock(mutex_);
        for (auto& block : blocks) {
            if (blocks_.size() * kLargestBlock >= kPooledBytes)
                return;
            blocks_.push_back(std::move(block));
        }
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<std::byte[]>> blocks_;
};

BlockPool& blockPool()
{
    // Never destroyed: arenas of Values in static storage may go after it would.
    static BlockPool& pool = *new BlockPool;
    return pool;
}

} // namespace

std::shared_ptr<Arena> ownerOf(const ArenaNode* node)
{
    return node->arena->shared_from_this();
}

const Value* ArenaDictionary::find(std::string_view key) const
{
    const std::string_view* first = shape->keys;
    const std::string_view* last = first + shape->count;
    const std::string_view* it = std::lower_bound(first, last, key);
    if (it == last || *it != key)
        return nullptr;
    return values + (it - first);
}

Arena::~Arena()
{
    destroyContents();
    blockPool().give(pooled_);
}

void Arena::destroyContents()
{
    arrayViews_.clear();
    dictionaryViews_.clear();
    for (Value* v : owning_)
        v->~Value();
    owning_.clear();
}

void* Arena::allocate(std::size_t bytes)
{
    bytes = (bytes + kAlignment - 1) & ~(kAlignment - 1);
    if (static_cast<std::size_t>(limit_ - cursor_) < bytes) {
        // Blocks double up to a size the heap keeps reusing; a larger request has its own.
        nextBlock_ = std::min(std::max(nextBlock_ * 2, kFirstBlock), kLargestBlock);
        std::size_t size = std::max(nextBlock_, bytes);
        std::unique_ptr<std::byte[]>* block;
        if (size == kLargestBlock) {
            pooled_.push_back(blockPool().take());
            block = &pooled_.back();
        } else {
            if (blocks_.empty())
                firstBlock_ = size;
            blocks_.push_back(std::unique_ptr<std::byte[]>(new std::byte[size]));
            block = &blocks_.back();
        }
        footprint_ += size;
        cursor_ = block->get();
        limit_ = cursor_ + size;
    }
    void* p = cursor_;
    cursor_ += bytes;
    return p;
}

std::string_view Arena::copyString(std::string_view s)
{
    if (s.empty())
        return {};
    char* p = static_cast<char*>(allocate(s.size()));
    std::memcpy(p, s.data(), s.size());
    return { p, s.size() };
}

void Arena::settle(Value& v)
{
    using Type = Value::Type;
    // A container of this arena needs no reference to it; one of another arena keeps its own.
    auto settleRef = [&](auto& ref) {
        if (!ref.node)
            return;
        if (ref.node->arena == this)
            ref.owner.reset();
        else
            owning_.push_back(&v);
    };
    switch (v.storage_.index()) {
    case Value::kArenaArrayIndex:
        return settleRef(std::get<Value::ArenaArrayRef>(v.storage_));
    case Value::kArenaDictionaryIndex:
        return settleRef(std::get<Value::ArenaDictionaryRef>(v.storage_));
    case static_cast<std::size_t>(Type::String):
        if (std::get<std::string>(v.storage_).capacity() > kInlineCapacity)
            owning_.push_back(&v);
        return;
    case static_cast<std::size_t>(Type::Data):
    case static_cast<std::size_t>(Type::Array):
    case static_cast<std::size_t>(Type::Dictionary):
    case static_cast<std::size_t>(Type::Object):
        owning_.push_back(&v);
        return;
    default:
        return;
    }
}

Value Arena::arrayValue(const ArenaArray* node)
{
    Value v;
    v.storage_.emplace<Value::ArenaArrayRef>(node, shared_from_this());
    return v;
}

Value Arena::dictionaryValue(const ArenaDictionary* node)
{
    Value v;
    v.storage_.emplace<Value::ArenaDictionaryRef>(node, shared_from_this());
    return v;
}

// A copy to be kept inside this arena: a container of the arena stays without owner.
Value Arena::borrowed(const Value& v)
{
    Value copy;
    if (auto ref = std::get_if<Value::ArenaArrayRef>(&v.storage_))
        copy.storage_.emplace<Value::ArenaArrayRef>(ref->node, nullptr);
    else if (auto ref = std::get_if<Value::ArenaDictionaryRef>(&v.storage_))
        copy.storage_.emplace<Value::ArenaDictionaryRef>(ref->node, nullptr);
    else
        copy = v;
    return copy;
}

const Value::Array& Arena::arrayView(const ArenaArray& node)
{
    if (const Value::Array* view = node.view.load(std::memory_order_acquire))
        return *view;
    std::lock_guard lock(viewsMutex_);
    if (const Value::Array* view = node.view.load(std::memory_order_acquire))
        return *view;
    auto view = std::make_unique<Value::Array>();
    view->reserve(node.count);
    for (std::size_t i = 0; i < node.count; ++i)
        view->push_back(borrowed(node.items[i]));
    arrayViews_.push_back(std::move(view));
    node.view.store(arrayViews_.back().get(), std::memory_order_release);
    return *arrayViews_.back();
}

const ValueDictionary& Arena::dictionaryView(const ArenaDictionary& node)
{
    if (const ValueDictionary* view = node.view.load(std::memory_order_acquire))
        return *view;
    std::lock_guard lock(viewsMutex_);
    if (const ValueDictionary* view = node.view.load(std::memory_order_acquire))
        return *view;
    ValueDictionary::Storage entries;
    entries.reserve(node.count);
    for (std::size_t i = 0; i < node.count; ++i)
        entries.emplace_back(std::string(node.shape->keys[i]), borrowed(node.values[i]));
    dictionaryViews_.push_back(std::make_unique<const ValueDictionary>(ValueDictionary::fromEntries(std::move(entries))));
    node.view.store(dictionaryViews_.back().get(), std::memory_order_release);
    return *dictionaryViews_.back();
}

Value::Array Arena::copyArray(const ArenaArray& node)
{
    return Value::Array(node.items, node.items + node.count);
}

ValueDictionary Arena::copyDictionary(const ArenaDictionary& node)
{
    ValueDictionary::Storage entries;
    entries.reserve(node.count);
    for (std::size_t i = 0; i < node.count; ++i)
        entries.emplace_back(std::string(node.shape->keys[i]), node.values[i]);
    return ValueDictionary::fromEntries(std::move(entries));
}

void Arena::reset()
{
    destroyContents();
    blockPool().give(pooled_);
    pooled_.clear();
    if (blocks_.size() > 1 || firstBlock_ > kLargestBlock)
        blocks_.erase(blocks_.begin() + (firstBlock_ > kLargestBlock ? 0 : 1), blocks_.end());
    if (blocks_.empty()) {
        cursor_ = limit_ = nullptr;
        nextBlock_ = footprint_ = 0;
        return;
    }
    cursor_ = blocks_.front().get();
    limit_ = cursor_ + firstBlock_;
    nextBlock_ = footprint_ = firstBlock_;
}

} // namespace foundation::detail
