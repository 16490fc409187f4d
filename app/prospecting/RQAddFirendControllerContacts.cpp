// The lead import screen's top bar: import into and clear from the address book, each after
// a confirmation.
#include "app/prospecting/ContactBook.h"
#include "app/prospecting/RQAddFirendController.h"
#include "ui/PGProgressHUD.h"

namespace {

constexpr NSInteger kClearAlertTag = 101;
constexpr NSInteger kImportAlertTag = 102;

} // namespace

void RQAddFirendController::daoRuAndRemove(const std::shared_ptr<UIButton>& sender)
{
    if (!sender)
        return;
    for (const auto& button : buttonArray_) {
        if (button->tag() == sender->tag()) {
            button->setBackgroundColor(UIColor::colorWithRed(112 / 255.0, 188 / 255.0, 90 / 255.0, 1));
            button->setAlpha(1);
        } else {
            button->setAlpha(0.6);
        }
    }
    if (sender->tag() == 0)
        return confirmImport();
    if (sender->tag() == 1)
        return confirmClear();
}

void RQAddFirendController::confirmImport()
{
    if (listArray_.empty())
        return PGProgressHUD::showSuccess("获取到号码后再导入", view());
    auto alert = UIAlertView::initWithTitle("", "是否导入通讯录,名称为：粉丝", weakAs<RQAddFirendController>(), "确认", { "取消" });
    alert->setTag(kImportAlertTag);
    alert->show();
}

void RQAddFirendController::confirmClear()
{
    auto alert = UIAlertView::initWithTitle("是否删除名为：粉丝 的联系人", "该操作将删除通讯录中所有联系人且不可恢复!请谨慎操作!",
        weakAs<RQAddFirendController>(), "确认", { "取消" });
    alert->setTag(kClearAlertTag);
    alert->show();
}

void RQAddFirendController::alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& alertView, NSInteger buttonIndex)
{
    if (!alertView || buttonIndex != 0)
        return;
    if (alertView->tag() == kClearAlertTag)
        return prospecting::reportClear(prospecting::clearContacts(), view());
    if (alertView->tag() != kImportAlertTag)
        return;
    std::vector<std::optional<std::string>> numbers;
    numbers.reserve(listArray_.size());
    for (const auto& record : listArray_)
        numbers.push_back(record->phoneName());
    prospecting::reportImport(prospecting::importContacts(numbers), view());
}
