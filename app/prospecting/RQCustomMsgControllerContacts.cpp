// The contacts screen's top bar: import the batch into the address book or clear the contacts
// named "粉丝", each after a confirmation.
#include "app/prospecting/ContactBook.h"
#include "app/prospecting/RQCustomMsgController.h"
#include "app/prospecting/SourceListController.h"
#include "ui/PGProgressHUD.h"

namespace {

constexpr NSInteger kClearAlertTag = 101;
constexpr NSInteger kImportAlertTag = 102;

} // namespace

void RQCustomMsgController::daoRuAndRemove(const std::shared_ptr<UIButton>& sender)
{
    if (!sender)
        return;
    prospecting::highlightPressed(buttonArray_, sender->tag());
    if (sender->tag() == 0)
        return confirmImport();
    if (sender->tag() == 1)
        return confirmClear();
}

void RQCustomMsgController::confirmImport()
{
    if (listArray_.empty())
        return PGProgressHUD::showSuccess("获取到号码后再导入", view());
    auto alert = UIAlertView::initWithTitle("", "是否导入通讯录,名称为：粉丝", weakAs<RQCustomMsgController>(), "确认", { "取消" });
    alert->setTag(kImportAlertTag);
    alert->show();
}

void RQCustomMsgController::confirmClear()
{
    auto alert = UIAlertView::initWithTitle("是否删除名为：粉丝 的联系人", "该操作将删除通讯录中所有联系人且不可恢复!请谨慎操作!",
        weakAs<RQCustomMsgController>(), "确认", { "取消" });
    alert->setTag(kClearAlertTag);
    alert->show();
}

void RQCustomMsgController::alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& alertView, NSInteger buttonIndex)
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
        numbers.push_back(record->hangPhone());
    prospecting::reportImport(prospecting::importContacts(numbers), view());
}
