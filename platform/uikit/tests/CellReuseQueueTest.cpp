// The reuse queue tables and collection views share: queued cells come back last-in first-out
// per identifier, prepared and off-screen; factories make what the queue lacks; an empty
// factory removes a registration instead of being called. (Cells going back to the queue as
// they leave the screen are checked through the table and collection views.)
#include "Fixture.h"

#include "platform/uikit/CellReuseQueue.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UITableView.h"

namespace {

using TableQueue = uikit::CellReuseQueue<UITableViewCell, const std::string&>;

std::shared_ptr<UITableViewCell> row(const std::string& identifier)
{
    return UITableViewCell::initWithStyle(UITableViewCellStyleDefault, identifier);
}

TEST_F(UIKitTest, ReuseQueueReturnsRecycledCellsPreparedPerIdentifierAndMakesWhatItLacks)
{
    TableQueue queue;
    auto parent = UIView::create();
    auto first = row("号码"), second = row("号码"), other = row("城市"), anonymous = row("");
    for (auto& cell : { first, second, other, anonymous }) {
        parent->addSubview(cell);
        queue.recycle(cell);
    }
    EXPECT_TRUE(parent->subviews().empty()) << "recycled cells leave the screen";

    second->setSelected(true);
    EXPECT_EQ(queue.dequeue("号码"), second) << "the last one queued comes first";
    EXPECT_FALSE(second->isSelected()) << "prepared for reuse";
    EXPECT_EQ(queue.dequeue("号码"), first);
    EXPECT_EQ(queue.dequeue("号码"), nullptr);
    EXPECT_EQ(queue.dequeue("城市"), other);
    EXPECT_EQ(queue.dequeue(""), nullptr) << "cells without an identifier are let go";

    std::vector<std::string> made;
    queue.registerFactory("号码", [&](const std::string& identifier) {
        made.push_back(identifier);
        return row(identifier);
    });
    auto fresh = queue.dequeueOrMake("号码", "号码");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(made, std::vector<std::string> { "号码" });
    queue.recycle(fresh);
    EXPECT_EQ(queue.dequeueOrMake("号码", "号码"), fresh) << "the queue goes before the factory";
    EXPECT_EQ(made.size(), 1u);
    EXPECT_EQ(queue.dequeueOrMake("城市", "城市"), nullptr);

    queue.registerFactory("号码", {});
    EXPECT_EQ(queue.dequeueOrMake("号码", "号码"), nullptr) << "an empty factory removes the registration";
}

TEST_F(UIKitTest, TableAndCollectionRegistrationsOfEmptyFactoriesAreRemovals)
{
    auto table = UITableView::initWithFrame({ { 0, 0 }, { 320, 480 } });
    table->registerCellFactory("号码", [](const std::string& identifier) { return row(identifier); });
    ASSERT_NE(table->dequeueReusableCellWithIdentifier("号码", NSIndexPath::indexPathForRow(0, 0)), nullptr);
    table->registerCellFactory("号码", {});
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("号码", NSIndexPath::indexPathForRow(0, 0)), nullptr);

    auto collection = UICollectionView::initWithFrame({ { 0, 0 }, { 320, 480 } }, UICollectionViewFlowLayout::create());
    collection->registerClassForCellWithReuseIdentifier({}, "tile");
    auto cell = collection->dequeueReusableCellWithReuseIdentifier("tile", NSIndexPath::indexPathForItem(0, 0));
    ASSERT_NE(cell, nullptr) << "a collection view always hands out a cell";
    EXPECT_EQ(cell->reuseIdentifier(), "tile");
}

} // namespace
