// The source screens' shared design and the top-bar helpers.
#include "app/prospecting/SourceListController.h"

#include "app/ServerRoots.h"
#include "app/ZHHttpTool.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIScreen.h"
#include "ui/PGProgressHUD.h"

namespace prospecting {

namespace {

UIColor green() { return UIColor::colorWithRed(112 / 255.0, 188 / 255.0, 90 / 255.0, 1); }

} // namespace

std::vector<std::shared_ptr<UIButton>> addImportClearBar(const std::shared_ptr<UIView>& view)
{
    double width = UIScreen::mainScreen()->bounds().size.width;
    auto bar = UIView::create(CGRectMake(0, 0, width, 60));
    bar->setBackgroundColor(UIColor::colorWithRed(225 / 255.0, 225 / 255.0, 225 / 255.0, 1));
    view->addSubview(bar);

    double buttonWidth = (width - 60) / 2;
    std::vector<std::shared_ptr<UIButton>> buttons;
    const char* titles[] = { "导入号码", "清空电话本" };
    for (int tag = 0; tag < 2; ++tag) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setFrame(CGRectMake(20 + tag * (buttonWidth + 20), 10, buttonWidth, 40));
        button->setTitle(titles[tag], UIControlStateNormal);
        button->setTag(tag);
        button->setTintColor(UIColor::whiteColor());
        button->setBackgroundColor(green());
        button->layer()->setCornerRadius(3);
        button->setClipsToBounds(true);
        bar->addSubview(button);
        buttons.push_back(button);
    }
    return buttons;
}

void highlightPressed(const std::vector<std::shared_ptr<UIButton>>& buttons, NSInteger tag)
{
    for (const auto& button : buttons) {
        if (button->tag() == tag) {
            button->setBackgroundColor(green());
            button->setAlpha(1);
        } else {
            button->setAlpha(0.6);
        }
    }
}

void showEmptyLabel(std::shared_ptr<UILabel>& slot, const std::shared_ptr<UIView>& view)
{
    if (!slot) {
        CGSize screen = UIScreen::mainScreen()->bounds().size;
        slot = UILabel::create(CGRectMake(0, screen.height / 2 - 30, screen.width, 21));
        slot->setText("没有相关数据");
        slot->setFont(UIFont::systemFontOfSize(17));
        slot->setTextAlignment(NSTextAlignmentCenter);
        slot->setTextColor(UIColor::grayColor());
        view->addSubview(slot);
    }
    slot->setAlpha(1);
}

void SourceListController::viewDidLoad()
{
    QPAllController::viewDidLoad();
    listArray_.clear();
    myTitle()->setText(screenTitle());

    buttonArray_ = addImportClearBar(view());
    for (const auto& button : buttonArray_)
        button->addTarget(sharedAs<SourceListController>(), &SourceListController::daoRuAndRemove, UIControlEventTouchUpInside);

    captionLabel_ = UILabel::create(CGRectMake(20, 60 + 10, 200, 21));
    captionLabel_->setText(caption());
    captionLabel_->setFont(UIFont::systemFontOfSize(15));
    captionLabel_->setTextAlignment(NSTextAlignmentLeft);
    captionLabel_->setTextColor(UIColor::grayColor());
    view()->addSubview(captionLabel_);

    load();

    double width = UIScreen::mainScreen()->bounds().size.width;
    double captionBottom = CGRectGetMaxY(captionLabel_->frame());
    CGRect frame = mytableView()->frame();
    mytableView()->setFrame(CGRectMake(20, captionBottom + 10, width - 40, frame.size.height - captionBottom - 64));
    mytableView()->setSeparatorColor(UIColor::clearColor());
}

void SourceListController::daoRuAndRemove(const std::shared_ptr<UIButton>& sender)
{
    if (sender)
        highlightPressed(buttonArray_, sender->tag());
}

void SourceListController::load()
{
    Value params = form();
    NSLog("param:%@", params);
    auto self = sharedAs<SourceListController>();
    ZHHttpTool::postWithURL(app::dataServerURL(path()), params, [self](const Value& reply) { self->listArrived(reply); },
        [self](const NSErrorRef&) { PGProgressHUD::showSuccess("出错", self->view()); });
}

void SourceListController::listArrived(const Value& reply)
{
    NSLog("%@", reply);
    auto status = app::replyStatus(reply);
    if (status == 0)
        return PGProgressHUD::showSuccess(app::refusalText(reply), view());
    if (status != 1)
        return;
    const Value& info = app::replyInfo(reply);
    if (!info.isArray())
        return mytableView()->reloadData();
    for (const auto& item : info.asArray())
        listArray_.push_back(record(item));
    if (listArray_.empty())
        return showEmptyLabel(orderLabel_, view());
    if (orderLabel_)
        orderLabel_->setAlpha(0);
    mytableView()->reloadData();
}

NSInteger SourceListController::tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger)
{
    return static_cast<NSInteger>(listArray_.size());
}

std::shared_ptr<UITableViewCell> SourceListController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath)
{
    auto cell = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "QKSY1");
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    auto row = static_cast<std::size_t>(indexPath.row);
    if (row >= listArray_.size())
        return cell;
    auto label = UILabel::create(CGRectMake(0, 7.5, tableView->frame().size.width, 40));
    label->setText(rowText(*listArray_[row]));
    label->setFont(UIFont::systemFontOfSize(15));
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setTextColor(UIColor::grayColor());
    label->setBackgroundColor(UIColor::colorWithRed(114 / 255.0, 114 / 255.0, 114 / 255.0, 0.1));
    cell->contentView()->addSubview(label);
    return cell;
}

void SourceListController::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath indexPath)
{
    auto row = static_cast<std::size_t>(indexPath.row);
    if (row >= listArray_.size())
        return;
    if (auto navigation = navigationController())
        navigation->pushViewController(screenFor(*listArray_[row]), true);
}

} // namespace prospecting
