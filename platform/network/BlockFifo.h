// A first-in, first-out list of blocks that allocates nothing until its first block comes (an
// empty std::deque allocates at once) and reuses its storage as it empties: a load posts only a
// few blocks, and most of its steps run at once without any.
#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace network {

class BlockFifo {
public:
    bool empty() const { return head_ == blocks_.size(); }
    void push(std::function<void()> block) { blocks_.push_back(std::move(block)); }
    // The oldest block; the list must not be empty.
    std::function<void()> pop()
    {
        std::function<void()> block = std::move(blocks_[head_++]);
        if (head_ == blocks_.size()) {
            blocks_.clear();
            head_ = 0;
        } else if (head_ >= kCompactAfter && head_ * 2 >= blocks_.size()) {
            // A list that never empties drops its spent front now and then, instead of growing.
            blocks_.erase(blocks_.begin(), blocks_.begin() + static_cast<std::ptrdiff_t>(head_));
            head_ = 0;
        }
        return block;
    }
    void clear()
    {
        blocks_.clear();
        head_ = 0;
    }
    void swap(BlockFifo& other) noexcept
    {
        blocks_.swap(other.blocks_);
        std::swap(head_, other.head_);
    }

private:
    static constexpr std::size_t kCompactAfter = 32;
    std::vector<std::function<void()>> blocks_;
    std::size_t head_ = 0;
};

} // namespace network
