// The contacts screen's top bar: import the batch into the address book or clear the contacts
// named "粉丝", each after a confirmation.
#include "app/prospecting/ContactBook.h"
#include "app/prospecting/RQCustomMsgController.h"
#include "app/prospecting/SourceListController.h"

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
    prospecting::confirmImport(!listArray_.empty(), weakAs<RQCustomMsgController>(), view());
}

void RQCustomMsgController::confirmClear() { prospecting::confirmClear(weakAs<RQCustomMsgController>()); }

void RQCustomMsgController::alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& alertView, NSInteger buttonIndex)
{
    prospecting::answerConfirmation(alertView, buttonIndex, [this] {
        std::vector<std::optional<std::string>> numbers;
        numbers.reserve(listArray_.size());
        for (const auto& record : listArray_)
            numbers.push_back(record->hangPhone());
        return numbers;
    }, view());
}
