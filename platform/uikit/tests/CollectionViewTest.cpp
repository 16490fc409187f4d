// Collection views: where the flow layout puts items (spacings, insets, lines, directions),
// which items the data source is asked for at which offsets, reuse, paging, scrolling to an
// item, and selection by tap.
#include "Fixture.h"

#include "platform/uikit/UICollectionView.h"

namespace {

struct Grid : UICollectionViewDataSource, UICollectionViewDelegateFlowLayout {
    std::vector<NSInteger> items { 7 };
    std::function<CGSize(const UICollectionView&)> itemSize; // empty: the layout's
    std::vector<NSIndexPath> asked;
    std::vector<NSIndexPath> selected;
    std::vector<NSIndexPath> deselected;
    bool allowSelect = true;
    NSInteger numberOfSectionsInCollectionView(const std::shared_ptr<UICollectionView>&) override
    {
        return static_cast<NSInteger>(items.size());
    }
    NSInteger collectionViewNumberOfItemsInSection(const std::shared_ptr<UICollectionView>&, NSInteger s) override
    {
        return items[static_cast<std::size_t>(s)];
    }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        const std::shared_ptr<UICollectionView>& view, NSIndexPath path) override
    {
        asked.push_back(path);
        return view->dequeueReusableCellWithReuseIdentifier("tile", path);
    }
    bool collectionViewShouldSelectItemAtIndexPath(const std::shared_ptr<UICollectionView>&, NSIndexPath) override
    {
        return allowSelect;
    }
    void collectionViewDidSelectItemAtIndexPath(const std::shared_ptr<UICollectionView>&, NSIndexPath p) override
    {
        selected.push_back(p);
    }
    void collectionViewDidDeselectItemAtIndexPath(const std::shared_ptr<UICollectionView>&, NSIndexPath p) override
    {
        deselected.push_back(p);
    }
    CGSize collectionViewLayoutSizeForItemAtIndexPath(const std::shared_ptr<UICollectionView>& view,
        const std::shared_ptr<UICollectionViewLayout>& layout, NSIndexPath path) override
    {
        return itemSize ? itemSize(*view) : UICollectionViewDelegateFlowLayout::collectionViewLayoutSizeForItemAtIndexPath(view, layout, path);
    }
    std::vector<NSInteger> askedItems(NSInteger section = 0) const
    {
        std::vector<NSInteger> out;
        for (auto& p : asked)
            if (p.section == section)
                out.push_back(p.item());
        return out;
    }
};

class CollectionTest : public UIKitTest {
protected:
    void SetUp() override
    {
        UIKitTest::SetUp();
        layout = UICollectionViewFlowLayout::create();
        view = UICollectionView::initWithFrame({ { 0, 0 }, { 320, 100 } }, layout);
        grid = std::make_shared<Grid>();
        view->registerClassForCellWithReuseIdentifier<UICollectionViewCell>("tile");
        view->setDataSource(grid);
        view->setDelegate(grid);
        window->addSubview(view);
    }
    CGRect frameOf(NSInteger item, NSInteger section = 0)
    {
        auto attributes = view->layoutAttributesForItemAtIndexPath({ section, item });
        return attributes ? attributes->frame : CGRectNull;
    }
    std::shared_ptr<UICollectionViewFlowLayout> layout;
    std::shared_ptr<UICollectionView> view;
    std::shared_ptr<Grid> grid;
};

TEST_F(CollectionTest, FlowLinesSpreadFullLinesCentreASingleItemAndAddInsets)
{
    layout->setItemSize({ 90, 40 });
    layout->setSectionInset({ 5, 10, 5, 10 });
    grid->items = { 7, 2 };
    // 300 points across: three items with 10 between them need 290, so full lines spread the
    // spare 10 into the gaps.
    EXPECT_EQ(frameOf(0), (CGRect { { 10, 5 }, { 90, 40 } }));
    EXPECT_EQ(frameOf(1).origin.x, 115);
    EXPECT_EQ(frameOf(2).origin.x, 220);
    EXPECT_EQ(frameOf(3).origin.y, 55) << "line spacing 10 below a 40-point line";
    EXPECT_EQ(frameOf(6), (CGRect { { 115, 105 }, { 90, 40 } })) << "a lone item in the last line is centred";
    // The second section starts below the first one's bottom inset; its last line of two keeps
    // the minimum spacing from the left.
    EXPECT_EQ(frameOf(0, 1), (CGRect { { 10, 155 }, { 90, 40 } }));
    EXPECT_EQ(frameOf(1, 1).origin.x, 110);
    EXPECT_EQ(view->contentSize(), (CGSize { 320, 200 }));
    EXPECT_FALSE(view->layoutAttributesForItemAtIndexPath({ 0, 7 }));
    EXPECT_FALSE(view->layoutAttributesForItemAtIndexPath({ 2, 0 }));
}

TEST_F(CollectionTest, AsksOnlyInLayoutPassesForVisibleItemsAndReusesCells)
{
    layout->setItemSize({ 90, 40 });
    layout->setSectionInset({ 5, 10, 5, 10 });
    grid->items = { 30 };
    EXPECT_TRUE(grid->asked.empty()) << "setting the data source asks nothing yet";
    view->layoutIfNeeded();
    EXPECT_EQ(grid->askedItems(), (std::vector<NSInteger> { 0, 1, 2, 3, 4, 5 })) << "lines at 5 and 55 of 100";
    EXPECT_EQ(view->visibleCells().size(), 6u);

    auto first = view->cellForItemAtIndexPath({ 0, 0 });
    grid->asked.clear();
    view->setContentOffset({ 0, 100 });
    view->layoutIfNeeded();
    EXPECT_EQ(grid->askedItems(), (std::vector<NSInteger> { 6, 7, 8, 9, 10, 11 }));
    EXPECT_EQ(view->indexPathsForVisibleItems().front(), (NSIndexPath { 0, 6 }));
    EXPECT_EQ(view->cellForItemAtIndexPath({ 0, 0 }), nullptr);
    bool reused = false;
    for (auto& cell : view->visibleCells())
        reused = reused || cell == first;
    EXPECT_TRUE(reused) << "a cell that left the screen comes back from the pool";

    grid->asked.clear();
    grid->items = { 4 };
    view->reloadData();
    EXPECT_TRUE(grid->asked.empty()) << "reloadData only marks the view";
    view->setContentOffset({ 0, 0 });
    view->layoutIfNeeded();
    EXPECT_EQ(grid->askedItems(), (std::vector<NSInteger> { 0, 1, 2, 3 }));
    EXPECT_EQ(view->numberOfItemsInSection(0), 4);
}

TEST_F(CollectionTest, CellsAreMadeByTheRegisteredFactoryAtTheirItemsFrame)
{
    struct Tile : UICollectionViewCell {
        CGRect madeWith;
        explicit Tile(CGRect f) : UICollectionViewCell(f), madeWith(f) { }
        std::string className() const override { return "Tile"; }
    };
    view->registerClassForCellWithReuseIdentifier<Tile>("tile");
    layout->setItemSize({ 60, 30 });
    view->layoutIfNeeded();
    auto tile = std::dynamic_pointer_cast<Tile>(view->cellForItemAtIndexPath({ 0, 1 }));
    ASSERT_NE(tile, nullptr);
    EXPECT_EQ(tile->madeWith.size, (CGSize { 60, 30 }));
    EXPECT_EQ(tile->reuseIdentifier(), "tile");
    auto stray = view->dequeueReusableCellWithReuseIdentifier("never registered", { 0, 0 });
    ASSERT_NE(stray, nullptr) << "dequeueing always gives a cell";
    EXPECT_EQ(stray->reuseIdentifier(), "never registered");

    // A pooled cell is prepared for reuse before it is handed out again.
    for (auto& cell : view->visibleCells())
        cell->setSelected(true);
    grid->items = { 0 };
    view->reloadData();
    view->layoutIfNeeded();
    EXPECT_TRUE(view->visibleCells().empty());
    auto again = view->dequeueReusableCellWithReuseIdentifier("tile", { 0, 0 });
    EXPECT_NE(std::dynamic_pointer_cast<Tile>(again), nullptr);
    EXPECT_FALSE(again->isSelected());
}

TEST_F(CollectionTest, AGridWithAHeaderInTheTopInsetShowsItAboveTheTiles)
{
    // The home screen's grid: 4.2 tiles across its width, sized by the delegate.
    grid->items = { 9 };
    grid->itemSize = [](const UICollectionView& v) {
        double w = (v.frame().size.width - 10 - 20) / 4.2;
        return CGSize { w, w + 30 };
    };
    view->setFrame({ { 20, 0 }, { 280, 568 } });
    view->setContentInset({ 150, 0, 0, 0 });
    auto header = UIView::create({ { 85, -130 }, { 110, 110 } });
    view->addSubview(header);
    testing_support::settle();
    double w = 250 / 4.2;
    EXPECT_EQ(grid->asked.size(), 9u);
    auto firstTile = view->cellForItemAtIndexPath({ 0, 0 });
    ASSERT_NE(firstTile, nullptr);
    EXPECT_DOUBLE_EQ(firstTile->frame().size.height, w + 30);
    EXPECT_NEAR(view->cellForItemAtIndexPath({ 0, 4 })->frame().origin.y, w + 30 + 10, 1e-9) << "four tiles a row";
    EXPECT_NEAR(view->cellForItemAtIndexPath({ 0, 3 })->frame().origin.x, 280 - w, 1e-9) << "full rows reach both edges";
    EXPECT_EQ(view->subviews().back(), header) << "tiles go below the header";
    CGRect onScreen = header->convertRectToView(header->bounds(), nullptr);
    EXPECT_EQ(onScreen.origin, (CGPoint { 105, 20 }));
    // A tap on the header selects nothing; a tap on a tile selects it.
    EXPECT_FALSE(view->indexPathForItemAtPoint({ 140, -60 }));
    EXPECT_EQ(view->indexPathForItemAtPoint({ 80, 30 }), (NSIndexPath { 0, 1 }));
}

TEST_F(CollectionTest, ACarouselPagesThroughAHugeRowAndScrollsToItems)
{
    view->setFrame({ { 0, 0 }, { 320, 150 } });
    layout->setScrollDirection(UICollectionViewScrollDirectionHorizontal);
    layout->setMinimumLineSpacing(0);
    layout->setItemSize({ 320, 150 });
    view->setPagingEnabled(true);
    grid->items = { 300 };

    view->scrollToItemAtIndexPath({ 0, 150 }, UICollectionViewScrollPositionNone, false);
    EXPECT_EQ(view->contentSize(), (CGSize { 320 * 300, 150 }));
    EXPECT_EQ(view->contentOffset().x, 48000);
    view->layoutIfNeeded();
    EXPECT_EQ(grid->askedItems(), (std::vector<NSInteger> { 150 })) << "one page on screen, one cell asked";

    view->simulateDrag({ -200, 0 });
    EXPECT_EQ(view->contentOffset().x, 48320) << "released past half a page, it settles on the next";
    view->layoutIfNeeded();
    EXPECT_EQ(view->indexPathsForVisibleItems(), (std::vector<NSIndexPath> { { 0, 151 } }));
    view->simulateDrag({ 100, 0 });
    EXPECT_EQ(view->contentOffset().x, 48320) << "less than half a page springs back";

    view->scrollToItemAtIndexPath({ 0, 299 }, UICollectionViewScrollPositionNone, true);
    EXPECT_EQ(view->contentOffset().x, 320 * 299);
    view->scrollToItemAtIndexPath({ 0, 300 }, UICollectionViewScrollPositionNone, false);
    EXPECT_EQ(view->contentOffset().x, 320 * 299) << "an item past the end is ignored";
}

TEST_F(CollectionTest, ScrollPositionsPlaceTheItemWithinTheContent)
{
    layout->setItemSize({ 300, 40 }); // one item a line: lines every 50 points
    grid->items = { 20 };
    view->scrollToItemAtIndexPath({ 0, 10 }, UICollectionViewScrollPositionTop, false);
    EXPECT_EQ(view->contentOffset().y, 500);
    view->scrollToItemAtIndexPath({ 0, 19 }, UICollectionViewScrollPositionTop, false);
    EXPECT_EQ(view->contentOffset().y, 990 - 100) << "kept inside the content";
    view->scrollToItemAtIndexPath({ 0, 2 }, UICollectionViewScrollPositionNone, false);
    EXPECT_EQ(view->contentOffset().y, 100) << "none scrolls just enough";
}

TEST_F(CollectionTest, TapsSelectThroughTheDelegateAndRelayoutKeepsSelection)
{
    layout->setItemSize({ 90, 40 });
    testing_support::settle();
    window->sendTap({ 50, 20 });
    window->sendTap({ 150, 20 });
    EXPECT_EQ(grid->selected, (std::vector<NSIndexPath> { { 0, 0 }, { 0, 1 } }));
    EXPECT_EQ(grid->deselected, (std::vector<NSIndexPath> { { 0, 0 } })) << "single selection gives the old one up";
    EXPECT_TRUE(view->cellForItemAtIndexPath({ 0, 1 })->isSelected());
    EXPECT_FALSE(view->cellForItemAtIndexPath({ 0, 0 })->isSelected());

    // A tap on a subview of a cell reaches the collection view.
    auto label = UIView::create({ { 0, 0 }, { 20, 20 } });
    view->cellForItemAtIndexPath({ 0, 2 })->contentView()->addSubview(label);
    CGRect r = label->convertRectToView(label->bounds(), nullptr);
    EXPECT_EQ(window->sendTap({ CGRectGetMidX(r), CGRectGetMidY(r) }), label);
    EXPECT_EQ(grid->selected.back(), (NSIndexPath { 0, 2 }));

    grid->allowSelect = false;
    window->sendTap({ 50, 20 });
    EXPECT_EQ(grid->selected.size(), 3u) << "shouldSelect refused";
    grid->allowSelect = true;
    window->sendTap({ 10, 48 }) /* between lines */;
    EXPECT_EQ(grid->selected.size(), 3u);
    view->setAllowsSelection(false);
    window->sendTap({ 50, 20 });
    EXPECT_EQ(grid->selected.size(), 3u);

    view->setContentOffset({ 0, 60 });
    view->setContentOffset({ 0, 0 });
    view->layoutIfNeeded();
    EXPECT_TRUE(view->cellForItemAtIndexPath({ 0, 2 })->isSelected()) << "selection survives scrolling";
    grid->items = { 2 };
    view->reloadData();
    view->layoutIfNeeded();
    EXPECT_TRUE(view->indexPathsForSelectedItems().empty()) << "a selection past the new count is dropped";
}

TEST_F(CollectionTest, ChangingTheLayoutOrBoundsMovesCellsWithoutAskingAgain)
{
    layout->setItemSize({ 100, 40 });
    view->layoutIfNeeded();
    auto cell = view->cellForItemAtIndexPath({ 0, 1 });
    ASSERT_NE(cell, nullptr);
    double before = cell->frame().origin.x;
    grid->asked.clear();
    view->setFrame({ { 0, 0 }, { 250, 100 } });
    view->layoutIfNeeded();
    EXPECT_NE(cell->frame().origin.x, before) << "narrower bounds lay the line out again";
    EXPECT_EQ(view->cellForItemAtIndexPath({ 0, 1 }), cell);
    layout->setItemSize({ 100, 20 });
    view->layoutIfNeeded();
    EXPECT_EQ(cell->frame().size.height, 20);
    for (auto& p : grid->asked)
        EXPECT_GE(p.item(), 4) << "only items that came into view are asked";
}

} // namespace
