// List screen bases: the table and its defaults.
#include "app/QPAllController.h"

#include "platform/foundation/NSLog.h"
#include "platform/uikit/UIScreen.h"

namespace app {

std::shared_ptr<UITableViewCell> ListScreenTable::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<UITableView>& tableView, NSIndexPath)
{
    static const std::string identifier = "QKSY1";
    if (auto cell = tableView->dequeueReusableCellWithIdentifier(identifier))
        return cell;
    return UITableViewCell::initWithStyle(UITableViewCellStyleDefault, identifier);
}

void ListScreenTable::addTable(const std::shared_ptr<UIView>& view, CGFloat height, const std::shared_ptr<ListScreenTable>& self)
{
    double width = UIScreen::mainScreen()->bounds().size.width;
    mytableView_ = UITableView::initWithFrame(CGRectMake(0, 0, width, height));
    mytableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    mytableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    mytableView_->setTableFooterView(UIView::create());
    view->addSubview(mytableView_);
}

} // namespace app

void QPAllController::viewDidLoad()
{
    DDYPPartentsController::viewDidLoad();
    addTable(view(), UIScreen::mainScreen()->bounds().size.height, sharedAs<QPAllController>());
}

void QPAllController::xiaLaSuaXin() { NSLog("shang =======la"); }

void QPAllController::shangLaSuaXin() { NSLog("shang -------la"); }

void QPAllNoBackController::viewDidLoad()
{
    YZXNoBackControlller::viewDidLoad();
    addTable(view(), UIScreen::mainScreen()->bounds().size.height - 20, sharedAs<QPAllNoBackController>());
}
