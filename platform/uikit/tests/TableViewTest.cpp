// Table layout passes: the data source is asked for cells of visible rows only, after a reload
// and as scrolling brings rows into view; cells are reused, across reloads too; taps select rows.
#include "Fixture.h"

#include "platform/uikit/UITableView.h"

namespace {

struct Source : UITableViewDataSource, UITableViewDelegate {
    NSInteger rows = 100;
    CGFloat height = 50;
    std::vector<NSIndexPath> asked;
    std::vector<NSIndexPath> selected;
    int heightCalls = 0;
    int made = 0;
    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger) override { return rows; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(const std::shared_ptr<UITableView>& table, NSIndexPath path) override
    {
        asked.push_back(path);
        auto cell = table->dequeueReusableCellWithIdentifier("cell", path);
        if (!cell) {
            ++made;
            cell = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "cell");
        }
        cell->textLabel()->setText("row " + std::to_string(path.row));
        return cell;
    }
    CGFloat tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) override
    {
        ++heightCalls;
        return height;
    }
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath path) override { selected.push_back(path); }
};

class TableTest : public UIKitTest {
protected:
    void SetUp() override
    {
        UIKitTest::SetUp();
        table = UITableView::initWithFrame({ { 0, 0 }, { 320, 200 } });
        source = std::make_shared<Source>();
        table->setDataSource(source);
        table->setDelegate(source);
        window->addSubview(table);
    }
    std::vector<NSInteger> askedRows() const
    {
        std::vector<NSInteger> rows;
        for (auto& p : source->asked)
            rows.push_back(p.row);
        return rows;
    }
    std::shared_ptr<UITableView> table;
    std::shared_ptr<Source> source;
};

TEST_F(TableTest, AsksOnlyInLayoutPassesAndOnlyForVisibleRows)
{
    EXPECT_TRUE(source->asked.empty()) << "setting the data source asks nothing yet";
    table->layoutIfNeeded();
    EXPECT_EQ(askedRows(), (std::vector<NSInteger> { 0, 1, 2, 3 }));
    EXPECT_EQ(source->heightCalls, 100) << "every row's height is read for the content size";
    EXPECT_EQ(table->contentSize().height, 5000);
    EXPECT_EQ(table->visibleCells().size(), 4u);
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 4 }), nullptr);

    source->asked.clear();
    table->layoutIfNeeded();
    EXPECT_TRUE(source->asked.empty()) << "a pass with nothing marked asks nothing";

    source->rows = 2;
    table->reloadData();
    EXPECT_TRUE(source->asked.empty()) << "reloadData only marks the table";
    table->layoutIfNeeded();
    EXPECT_EQ(askedRows(), (std::vector<NSInteger> { 0, 1 }));
    EXPECT_EQ(table->contentSize().height, 100);
}

TEST_F(TableTest, TheMainLoopRunsThePassAfterAReload)
{
    testing_support::settle();
    EXPECT_EQ(source->asked.size(), 4u);
    source->asked.clear();
    table->reloadData();
    testing_support::settle();
    EXPECT_EQ(askedRows(), (std::vector<NSInteger> { 0, 1, 2, 3 })) << "a reload asks again for every visible row";
}

TEST_F(TableTest, ScrollingAsksForRowsComingIntoViewAndReusesCells)
{
    table->layoutIfNeeded();
    auto firstCell = table->cellForRowAtIndexPath({ 0, 0 });
    source->asked.clear();
    table->setContentOffset({ 0, 120 });
    table->layoutIfNeeded();
    // Rows 2..6 cover 120..320; row 4..6 are new, rows 0 and 1 left.
    EXPECT_EQ(askedRows(), (std::vector<NSInteger> { 4, 5, 6 }));
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 0 }), nullptr);
    auto paths = table->indexPathsForVisibleRows();
    EXPECT_EQ(paths.front(), (NSIndexPath { 0, 2 }));
    EXPECT_EQ(paths.back(), (NSIndexPath { 0, 6 }));
    bool reused = false;
    for (auto& cell : table->visibleCells())
        reused = reused || cell == firstCell;
    EXPECT_TRUE(reused) << "a cell that left the screen comes back from the pool";
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 6 })->frame().origin.y, 300);
}

TEST_F(TableTest, TapSelectsTheRowUnderTheFinger)
{
    testing_support::settle();
    table->setContentOffset({ 0, 100 });
    testing_support::settle();
    window->sendTap({ 10, 60 }); // 160 in content: row 3
    ASSERT_EQ(source->selected.size(), 1u);
    EXPECT_EQ(source->selected[0], (NSIndexPath { 0, 3 }));
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath { 0, 3 }));
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 0, 3 })->isSelected());
    table->setAllowsSelection(false);
    window->sendTap({ 10, 10 });
    EXPECT_EQ(source->selected.size(), 1u);
}

TEST_F(TableTest, CellsComeBackFromThePoolAcrossReloads)
{
    table->setFrame({ { 0, 0 }, { 320, 400 } }); // room for eight rows
    source->rows = 3;
    table->layoutIfNeeded();
    EXPECT_EQ(source->made, 3);
    table->userSelectRowAtIndexPath({ 0, 2 });
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 0, 2 })->isSelected());

    for (int i = 0; i < 3; ++i) {
        table->reloadData();
        table->layoutIfNeeded();
    }
    EXPECT_EQ(source->made, 3) << "reloads reuse the cells they put in the pool";
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 2 })->textLabel()->text(), "row 2");
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 0, 2 })->isSelected()) << "the selection survives a reload";
    EXPECT_FALSE(table->cellForRowAtIndexPath({ 0, 0 })->isSelected()) << "a reused cell was prepared for reuse";

    source->rows = 1;
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt) << "a selection past the new rows is dropped";
    source->rows = 5;
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(source->made, 5) << "only the two rows never shown before need new cells";
    table->registerCellFactory("cell", [](const std::string& id) { return UITableViewCell::initWithStyle(UITableViewCellStyleDefault, id); });
    source->rows = 7;
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(source->made, 5) << "the registered factory makes the missing cells";
    EXPECT_EQ(table->visibleCells().size(), 7u);
}

TEST_F(TableTest, SectionHeadersAndFooterViewTakeSpace)
{
    struct Sectioned : Source {
        NSInteger numberOfSectionsInTableView(const std::shared_ptr<UITableView>&) override { return 2; }
        std::string tableViewTitleForHeaderInSection(const std::shared_ptr<UITableView>&, NSInteger s) override
        {
            return s == 1 ? "Second" : "";
        }
    };
    auto sectioned = std::make_shared<Sectioned>();
    sectioned->rows = 1;
    table->setDataSource(sectioned);
    table->setDelegate(sectioned);
    table->setTableFooterView(UIView::create({ { 0, 0 }, { 1, 30 } }));
    table->layoutIfNeeded();
    EXPECT_EQ(table->rectForRowAtIndexPath({ 1, 0 }).origin.y, 50 + 22);
    EXPECT_EQ(table->contentSize().height, 50 + 22 + 50 + 30);
    EXPECT_EQ(table->tableFooterView()->frame().origin.y, 122);
    ASSERT_NE(table->headerViewForSection(1), nullptr);
    EXPECT_EQ(table->headerViewForSection(0), nullptr);
}

} // namespace
