// The cell reuse of tables and collection views: a queue of cells that left the screen per
// reuse identifier, and the factories registered for identifiers. `MakeArgs` is what a factory
// is given (the identifier for table cells, the item's frame for collection cells).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace uikit {

template <class Cell, class... MakeArgs>
class CellReuseQueue {
public:
    using Factory = std::function<std::shared_ptr<Cell>(MakeArgs...)>;

    // Registers how cells of `identifier` are made; an empty factory removes the registration.
    void registerFactory(const std::string& identifier, Factory factory)
    {
        if (factory)
            factories_[identifier] = std::move(factory);
        else
            factories_.erase(identifier);
    }

    // The cell queued last under `identifier`, prepared for reuse, or null.
    std::shared_ptr<Cell> dequeue(const std::string& identifier)
    {
        auto queued = queues_.find(identifier);
        if (queued == queues_.end() || queued->second.empty())
            return nullptr;
        auto cell = std::move(queued->second.back());
        queued->second.pop_back();
        cell->prepareForReuse();
        return cell;
    }

    // A queued cell, else one made by the registered factory, else null.
    std::shared_ptr<Cell> dequeueOrMake(const std::string& identifier, MakeArgs... args)
    {
        if (auto cell = dequeue(identifier))
            return cell;
        auto factory = factories_.find(identifier);
        if (factory == factories_.end())
            return nullptr;
        return factory->second(std::move(args)...);
    }

    // Takes a cell that left the screen off its superview and queues it under its reuse
    // identifier; a cell without one is let go.
    void recycle(const std::shared_ptr<Cell>& cell)
    {
        cell->removeFromSuperview();
        if (!cell->reuseIdentifier().empty())
            queues_[cell->reuseIdentifier()].push_back(cell);
    }

private:
    std::map<std::string, std::vector<std::shared_ptr<Cell>>> queues_;
    std::map<std::string, Factory> factories_;
};

} // namespace uikit
