// What existing screens lean on: table cells reused across reloads, modal presentation over a
// navigation stack, and text fields whose delegate refuses.
#include "Fixture.h"

#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIViewController.h"

namespace {

struct Rows : UITableViewDataSource, UITableViewDelegate {
    NSInteger rows = 3;
    int made = 0;
    std::vector<NSIndexPath> selected;
    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger) override { return rows; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(const std::shared_ptr<UITableView>& table, NSIndexPath path) override
    {
        auto cell = table->dequeueReusableCellWithIdentifier("row", path);
        if (!cell) {
            ++made;
            cell = UITableViewCell::initWithStyle(UITableViewCellStyleSubtitle, "row");
        }
        cell->textLabel()->setText(std::to_string(path.row));
        return cell;
    }
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath path) override { selected.push_back(path); }
};

TEST_F(UIKitTest, TableCellsComeBackFromThePoolAcrossReloads)
{
    auto table = UITableView::initWithFrame({ { 0, 0 }, { 320, 300 } });
    auto rows = std::make_shared<Rows>();
    table->setDataSource(rows);
    table->setDelegate(rows);
    window->addSubview(table);
    table->layoutIfNeeded();
    EXPECT_EQ(rows->made, 3);
    table->userSelectRowAtIndexPath({ 0, 2 });
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 0, 2 })->isSelected());

    for (int i = 0; i < 3; ++i) {
        table->reloadData();
        table->layoutIfNeeded();
    }
    EXPECT_EQ(rows->made, 3) << "reloads reuse the cells they put in the pool";
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 2 })->textLabel()->text(), "2");
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 0, 2 })->isSelected()) << "the selection survives a reload";
    EXPECT_FALSE(table->cellForRowAtIndexPath({ 0, 0 })->isSelected()) << "a reused cell was prepared for reuse";

    rows->rows = 1;
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt) << "a selection past the new rows is dropped";
    rows->rows = 5;
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(rows->made, 5) << "only the two rows never shown before need new cells";
    table->registerCellFactory("row", [](const std::string& id) { return UITableViewCell::initWithStyle(UITableViewCellStyleDefault, id); });
    rows->rows = 7;
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(rows->made, 5) << "the registered factory makes the missing cells";
    EXPECT_EQ(table->visibleCells().size(), 7u);
}

struct Screen : UIViewController {
    std::vector<std::string>* log;
    std::string name;
    Screen(std::string n, std::vector<std::string>* l) : log(l), name(std::move(n)) { }
    void viewWillAppear(bool) override { log->push_back(name + ".willAppear"); }
    void viewWillDisappear(bool) override { log->push_back(name + ".willDisappear"); }
};

TEST_F(UIKitTest, AModalOverANavigationStackHidesItsTopAndRevealsItAgain)
{
    std::vector<std::string> log;
    auto root = std::make_shared<Screen>("root", &log);
    auto top = std::make_shared<Screen>("top", &log);
    auto nav = UINavigationController::initWithRootViewController(root);
    window->setRootViewController(nav);
    nav->pushViewController(top, false);
    log.clear();

    auto modal = std::make_shared<Screen>("modal", &log);
    top->presentViewController(modal, false);
    EXPECT_EQ(log, (std::vector<std::string> { "top.willDisappear", "modal.willAppear" }));
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_EQ(top->presentedViewController(), modal);
    EXPECT_EQ(modal->frameInContainer(window->bounds()), window->bounds());

    auto second = std::make_shared<Screen>("second", &log);
    top->presentViewController(second, false);
    EXPECT_EQ(top->presentedViewController(), modal) << "one modal at a time";
    EXPECT_FALSE(second->isViewLoaded());

    auto nested = std::make_shared<Screen>("nested", &log);
    modal->presentViewController(nested, false);
    log.clear();
    bool done = false;
    top->dismissViewControllerAnimated(true, [&] { done = true; });
    EXPECT_EQ(modal->presentedViewController(), nullptr) << "dismissing also takes down what the modal presents";
    EXPECT_EQ(top->presentedViewController(), nullptr);
    EXPECT_FALSE(modal->view()->window());
    EXPECT_FALSE(nested->view()->window());
    EXPECT_EQ(log.back(), "top.willAppear");
    EXPECT_TRUE(testing_support::runUntil([&] { return done; }));
    window->setRootViewController(nullptr); // the screens log into this test's frame
}

struct Gate : UITextFieldDelegate {
    bool begin = true;
    bool clear = true;
    bool ret = true;
    int returns = 0;
    bool textFieldShouldBeginEditing(const std::shared_ptr<UITextField>&) override { return begin; }
    bool textFieldShouldClear(const std::shared_ptr<UITextField>&) override { return clear; }
    bool textFieldShouldReturn(const std::shared_ptr<UITextField>&) override
    {
        ++returns;
        return ret;
    }
};

TEST_F(UIKitTest, ATextFieldDelegateCanRefuseEditingClearingAndReturn)
{
    auto gate = std::make_shared<Gate>();
    auto field = UITextField::create({ { 0, 0 }, { 200, 30 } });
    field->setDelegate(gate);
    field->setText("keep");
    window->addSubview(field);
    std::vector<std::string> names;
    recordNotifications(names, { UIKeyboardWillShowNotification, UITextFieldTextDidBeginEditingNotification });
    int exits = 0;
    field->addTarget(nullptr, [&](const std::shared_ptr<UIControl>&) { ++exits; }, UIControlEventEditingDidEndOnExit);

    gate->begin = false;
    window->sendTap({ 10, 10 });
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_TRUE(names.empty()) << "a refused begin shows no keyboard and posts nothing";
    EXPECT_FALSE(uikit::typeIntoFirstResponder("x"));

    gate->begin = true;
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(names.size(), 2u);
    gate->clear = false;
    field->clearText();
    EXPECT_EQ(field->text(), "keep");
    gate->ret = false;
    field->pressReturnKey();
    EXPECT_EQ(exits, 0) << "a refused return does not end on exit";
    gate->ret = true;
    field->pressReturnKey();
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(gate->returns, 2);
    gate->clear = true;
    field->clearText();
    EXPECT_EQ(field->text(), "");

    field->resignFirstResponder();
    field->setText("old");
    field->setClearsOnBeginEditing(true);
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(field->text(), "") << "clears on begin";
}

} // namespace
