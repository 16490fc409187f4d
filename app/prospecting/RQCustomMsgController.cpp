// The contacts screen's views and its batches.
#include "app/prospecting/RQCustomMsgController.h"

#include "app/DVUUID.h"
#include "app/ServerRoots.h"
#include "app/UICopyLabel.h"
#include "app/ZHHttpTool.h"
#include "app/prospecting/Paging.h"
#include "app/prospecting/SourceListController.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "ui/PGProgressHUD.h"

namespace {

std::shared_ptr<UILabel> rowLabel(CGRect frame, const std::shared_ptr<UILabel>& label, const std::string& text, const UIColor& color)
{
    label->setFrame(frame);
    label->setText(text);
    label->setFont(UIFont::systemFontOfSize(15));
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setTextColor(color);
    return label;
}

} // namespace

void RQCustomMsgController::viewDidLoad()
{
    QPAllController::viewDidLoad();
    listArray_.clear();
    if (shengId_)
        myTitle()->setText("区域客源");
    else if (hangYeId_)
        myTitle()->setText("行业客源");

    buttonArray_ = prospecting::addImportClearBar(view());
    for (const auto& button : buttonArray_)
        button->addTarget(sharedAs<RQCustomMsgController>(), &RQCustomMsgController::daoRuAndRemove, UIControlEventTouchUpInside);

    double width = UIScreen::mainScreen()->bounds().size.width;
    nextBar_ = UILabel::create(CGRectMake(20, 60 + 10, width - 40, 35));
    nextBar_->setText("换一组");
    nextBar_->setFont(UIFont::systemFontOfSize(15));
    nextBar_->setTextAlignment(NSTextAlignmentCenter);
    nextBar_->setTextColor(UIColor::grayColor());
    nextBar_->setBackgroundColor(UIColor::colorWithRed(114 / 255.0, 114 / 255.0, 114 / 255.0, 0.1));
    nextBar_->layer()->setCornerRadius(3);
    nextBar_->setClipsToBounds(true);
    nextBar_->setUserInteractionEnabled(true);
    std::weak_ptr<RQCustomMsgController> weak = sharedAs<RQCustomMsgController>();
    nextBar_->addGestureRecognizer(UITapGestureRecognizer::create([weak](const std::shared_ptr<UIGestureRecognizer>&) {
        if (auto self = weak.lock())
            self->changYiGroup();
    }));
    view()->addSubview(nextBar_);

    getCustomMsg();

    double barBottom = CGRectGetMaxY(nextBar_->frame());
    CGRect frame = mytableView()->frame();
    mytableView()->setFrame(CGRectMake(20, barBottom + 10, width - 40, frame.size.height - barBottom - 84));
    mytableView()->setSeparatorColor(UIColor::clearColor());
}

void RQCustomMsgController::getCustomMsg()
{
    Value params = Value::dictionary();
    if (shengId_)
        params.set("area_id", *shengId_);
    if (hangYeId_)
        params.set("categoryId", *hangYeId_);
    auto clientId = DVUUID::uuidForDevice();
    if (!clientId.empty())
        params.set("clientId", clientId);
    params.set("page", NSString::stringWithFormat("%d", page()));
    NSLog("param:%@", params);

    auto self = sharedAs<RQCustomMsgController>();
    ZHHttpTool::postWithURL(app::dataServerURL("data/listIndustry.do"), params,
        [self](const Value& reply) { self->batchArrived(reply); },
        [self](const NSErrorRef&) { PGProgressHUD::showSuccess("出错", self->view()); });
}

void RQCustomMsgController::changYiGroup()
{
    setPage(prospecting::steppedPage(page(), 1));
    getCustomMsg();
}

void RQCustomMsgController::batchArrived(const Value& reply)
{
    NSLog("%@", reply);
    auto status = app::replyStatus(reply);
    if (status == 0)
        return PGProgressHUD::showSuccess(app::refusalText(reply), view());
    if (status != 1)
        return;

    listArray_.clear();
    mytableView()->reloadData();
    // An "info" that is no object has no list: the batch stays empty.
    const Value& items = app::replyInfo(reply)["listItems"];
    if (!items.isArray())
        return mytableView()->reloadData();
    for (const auto& item : items.asArray())
        listArray_.push_back(RQPhoneModel::initWithHangYeDic(item));
    if (listArray_.empty())
        prospecting::showEmptyLabel(orderLabel_, view());
    else if (orderLabel_)
        orderLabel_->setAlpha(0);
    mytableView()->reloadData();
}

NSInteger RQCustomMsgController::tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger)
{
    return static_cast<NSInteger>(listArray_.size());
}

std::shared_ptr<UITableViewCell> RQCustomMsgController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath)
{
    auto cell = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "QKSY1");
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    auto row = static_cast<std::size_t>(indexPath.row);
    if (row >= listArray_.size())
        return cell;
    const auto& record = *listArray_[row];
    double width = tableView->frame().size.width;
    cell->contentView()->addSubview(rowLabel(CGRectMake(0, 7.5, width, 21), UILabel::create(),
        prospecting::displayText(record.hangName()), UIColor::grayColor()));
    cell->contentView()->addSubview(rowLabel(CGRectMake(0, 34.5, width, 21), UICopyLabel::initWithFrame(CGRectZero),
        prospecting::displayText(record.hangPhone()), UIColor::colorWithRed(0, 112 / 255.0, 180 / 255.0, 1)));
    return cell;
}
