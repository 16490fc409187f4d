// The cells a table or collection view shows, by index path: the lookups both answer, and the
// hand-back of cells that leave the screen to their reuse queue.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/uikit/UIKitCore.h"

namespace uikit {

template <class Cell>
class VisibleCells {
public:
    using Map = std::map<NSIndexPath, std::shared_ptr<Cell>>;

    bool contains(NSIndexPath path) const { return shown_.count(path) > 0; }
    void add(NSIndexPath path, std::shared_ptr<Cell> cell) { shown_[path] = std::move(cell); }
    const Map& byPath() const { return shown_; }

    std::shared_ptr<Cell> cellAt(NSIndexPath path) const
    {
        auto it = shown_.find(path);
        return it == shown_.end() ? nullptr : it->second;
    }
    std::vector<std::shared_ptr<Cell>> cells() const
    {
        std::vector<std::shared_ptr<Cell>> cells;
        for (auto& [path, cell] : shown_)
            cells.push_back(cell);
        return cells;
    }
    std::vector<NSIndexPath> paths() const
    {
        std::vector<NSIndexPath> paths;
        for (auto& [path, cell] : shown_)
            paths.push_back(path);
        return paths;
    }
    std::optional<NSIndexPath> pathOf(const std::shared_ptr<Cell>& cell) const
    {
        for (auto& [path, shown] : shown_) {
            if (shown == cell)
                return path;
        }
        return std::nullopt;
    }

    // Hands the cells whose path `keep` refuses to `queue`, off the screen.
    template <class Queue, class Keep>
    void recycleUnless(Queue& queue, Keep keep)
    {
        std::vector<std::shared_ptr<Cell>> leaving;
        for (auto it = shown_.begin(); it != shown_.end();) {
            if (keep(it->first)) {
                ++it;
                continue;
            }
            leaving.push_back(std::move(it->second));
            it = shown_.erase(it);
        }
        // Recycled once the map is settled: leaving the superview may call back.
        for (auto& cell : leaving)
            queue.recycle(cell);
    }
    template <class Queue>
    void recycleAll(Queue& queue)
    {
        recycleUnless(queue, [](NSIndexPath) { return false; });
    }

private:
    Map shown_;
};

} // namespace uikit
