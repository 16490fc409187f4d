// The QR-code lists: header, refresh on every appearance, the reply handling and the rows.
#include "app/prospecting/QunListController.h"
#include "app/prospecting/RQHuFenController.h"
#include "app/prospecting/RQPublishQunController.h"
#include "app/prospecting/RQQunListController.h"

#include "app/ServerRoots.h"
#include "app/ZHHttpTool.h"
#include "app/prospecting/JZQunDetailController.h"
#include "app/prospecting/SourceListController.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIScreen.h"
#include "ui/PGProgressHUD.h"

namespace prospecting {

namespace {

constexpr const char* kList = "qrcode/listCode.do";

} // namespace

void QunListController::viewDidLoad()
{
    QPAllController::viewDidLoad();
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    listArray_.clear();
    myTitle()->setText(screenTitle());

    auto header = UIView::create(CGRectMake(0, 0, screen.width, 60));
    header->setBackgroundColor(UIColor::colorWithRed(225 / 255.0, 225 / 255.0, 225 / 255.0, 1));
    view()->addSubview(header);

    publishButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    publishButton_->setFrame(CGRectMake(20, 10, screen.width - 40, 40));
    publishButton_->setTitle(headerButtonTitle(), UIControlStateNormal);
    publishButton_->setTag(0);
    publishButton_->setTintColor(UIColor::whiteColor());
    publishButton_->setBackgroundColor(UIColor::colorWithRed(112 / 255.0, 188 / 255.0, 90 / 255.0, 1));
    publishButton_->layer()->setCornerRadius(3);
    publishButton_->setClipsToBounds(true);
    publishButton_->addTarget(sharedAs<QunListController>(), &QunListController::publishAction, UIControlEventTouchUpInside);
    header->addSubview(publishButton_);

    CGRect frame = mytableView()->frame();
    mytableView()->setFrame(CGRectMake(0, 60, screen.width, frame.size.height - 60 - 64));
}

void QunListController::viewWillAppear(bool animated)
{
    QPAllController::viewWillAppear(animated);
    listArray_.clear();
    mytableView()->reloadData();
    getHuFenListType(listType());
}

void QunListController::getHuFenListType(const std::optional<std::string>& type)
{
    if (!type)
        return PGProgressHUD::showSuccess("类型不对", view());
    Value params = Value::dictionary({ { "type", *type }, { "page", std::to_string(page()) } });
    NSLog("param:%@", params);
    // Only the reply to the latest request may fill the list: one that was still on its way
    // when the screen appeared again would add its rows to the new ones.
    auto generation = ++generation_;
    auto self = sharedAs<QunListController>();
    auto success = [self, generation](const Value& reply) {
        NSLog("%@", reply);
        if (generation == self->generation_)
            self->listArrived(reply);
    };
    auto failure = [self, generation](const NSErrorRef& error) {
        NSLog("%@", error);
        if (generation == self->generation_)
            PGProgressHUD::showSuccess("出错", self->view());
    };
    ZHHttpTool::postWithURL(app::dataServerURL(kList), params, std::move(success), std::move(failure));
}

void QunListController::listArrived(const Value& reply)
{
    auto status = app::replyStatus(reply);
    if (status == 0)
        return PGProgressHUD::showSuccess(app::refusalText(reply), view());
    if (status != 1)
        return;
    const Value& items = app::replyInfo(reply)["listItems"];
    if (!items.isArray())
        return mytableView()->reloadData();
    for (const auto& item : items.asArray())
        listArray_.push_back(JZQunModel::initWithDic(item));
    if (listArray_.empty())
        return showEmptyLabel(orderLabel_, view());
    if (orderLabel_)
        orderLabel_->setAlpha(0);
    mytableView()->reloadData();
}

void QunListController::publishAction(const std::shared_ptr<UIButton>&)
{
    if (auto navigation = navigationController())
        navigation->pushViewController(publishForm(), true);
}

NSInteger QunListController::tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger)
{
    return static_cast<NSInteger>(listArray_.size());
}

std::shared_ptr<UITableViewCell> QunListController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<UITableView>&, NSIndexPath indexPath)
{
    auto cell = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "QKSY1");
    auto row = static_cast<std::size_t>(indexPath.row);
    if (indexPath.row < 0 || row >= listArray_.size())
        return cell;
    cell->textLabel()->setText(listArray_[row]->qunTitle());
    cell->textLabel()->setTextAlignment(NSTextAlignmentCenter);
    return cell;
}

void QunListController::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath indexPath)
{
    auto row = static_cast<std::size_t>(indexPath.row);
    if (indexPath.row < 0 || row >= listArray_.size())
        return;
    auto detail = JZQunDetailController::create();
    detail->setModel(listArray_[row]);
    detail->setJumpeType(detailJumpeType());
    if (auto navigation = navigationController())
        navigation->pushViewController(detail, true);
}

} // namespace prospecting

std::shared_ptr<UIViewController> RQQunListController::publishForm() const { return RQPublishQunController::create(); }

std::shared_ptr<UIViewController> RQHuFenController::publishForm() const { return JQUpdateQunController::create(); }
