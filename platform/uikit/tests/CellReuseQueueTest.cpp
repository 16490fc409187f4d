// The reuse queue tables and collection views share: queued cells come back last-in first-out
// per identifier, prepared and off-screen; factories make what the queue lacks; an empty
// factory removes a registration instead of being called. The cells on screen go back to the
// queue when they leave it.
#include "Fixture.h"

#include "platform/uikit/CellReuseQueue.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/VisibleCells.h"

namespace {

using TableQueue = uikit::CellReuseQueue<UITableViewCell, const std::string&>;

TEST_F(UIKitTest, ReuseQueueReturnsRecycledCellsPreparedPerIdentifier)
{
    TableQueue queue;
    auto parent = UIView::create();
    auto first = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "号码");
    auto second = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "号码");
    auto other = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "城市");
    auto anonymous = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "");
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
}

TEST_F(UIKitTest, ReuseQueueMakesWhatItLacksWithTheRegisteredFactory)
{
    TableQueue queue;
    std::vector<std::string> made;
    queue.registerFactory("号码", [&](const std::string& identifier) {
        made.push_back(identifier);
        return UITableViewCell::initWithStyle(UITableViewCellStyleSubtitle, identifier);
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
    table->registerCellFactory("号码", [](const std::string& identifier) {
        return UITableViewCell::initWithStyle(UITableViewCellStyleDefault, identifier);
    });
    ASSERT_NE(table->dequeueReusableCellWithIdentifier("号码", NSIndexPath::indexPathForRow(0, 0)), nullptr);
    table->registerCellFactory("号码", {});
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("号码", NSIndexPath::indexPathForRow(0, 0)), nullptr);

    auto collection = UICollectionView::initWithFrame({ { 0, 0 }, { 320, 480 } }, UICollectionViewFlowLayout::create());
    collection->registerClassForCellWithReuseIdentifier({}, "tile");
    auto cell = collection->dequeueReusableCellWithReuseIdentifier("tile", NSIndexPath::indexPathForItem(0, 0));
    ASSERT_NE(cell, nullptr) << "a collection view always hands out a cell";
    EXPECT_EQ(cell->reuseIdentifier(), "tile");
}

TEST_F(UIKitTest, CellsLeavingTheScreenGoBackToTheirQueue)
{
    TableQueue queue;
    uikit::VisibleCells<UITableViewCell> shown;
    auto parent = UIView::create();
    std::vector<std::shared_ptr<UITableViewCell>> cells;
    for (NSInteger row = 0; row < 4; ++row) {
        cells.push_back(UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "行"));
        parent->addSubview(cells.back());
        shown.add(NSIndexPath::indexPathForRow(row, 0), cells.back());
    }
    EXPECT_EQ(shown.pathOf(cells[2]), NSIndexPath::indexPathForRow(2, 0));
    EXPECT_EQ(shown.cellAt(NSIndexPath::indexPathForRow(3, 0)), cells[3]);

    shown.recycleUnless(queue, [](NSIndexPath path) { return path.row >= 2; });
    EXPECT_EQ(shown.paths(), (std::vector<NSIndexPath> { NSIndexPath::indexPathForRow(2, 0), NSIndexPath::indexPathForRow(3, 0) }));
    EXPECT_EQ(parent->subviews().size(), 2u) << "the cells that left are off the screen";
    EXPECT_FALSE(shown.pathOf(cells[0]));
    EXPECT_NE(queue.dequeue("行"), nullptr);
    EXPECT_NE(queue.dequeue("行"), nullptr);
    EXPECT_EQ(queue.dequeue("行"), nullptr) << "only the two that left were queued";

    shown.recycleAll(queue);
    EXPECT_TRUE(shown.cells().empty());
    EXPECT_TRUE(parent->subviews().empty());
}

} // namespace
