// The lead import screen's top bar: import into and clear from the address book, each after
// a confirmation.
#include "app/prospecting/ContactBook.h"
#include "app/prospecting/RQAddFirendController.h"
#include "app/prospecting/SourceListController.h"

void RQAddFirendController::daoRuAndRemove(const std::shared_ptr<UIButton>& sender)
{
    if (!sender)
        return;
    prospecting::highlightPressed(buttonArray_, sender->tag());
    if (sender->tag() == 0)
        return confirmImport();
    if (sender->tag() == 1)
        return confirmClear();
}

void RQAddFirendController::confirmImport()
{
    prospecting::confirmImport(!listArray_.empty(), weakAs<RQAddFirendController>(), view());
}

void RQAddFirendController::confirmClear() { prospecting::confirmClear(weakAs<RQAddFirendController>()); }

void RQAddFirendController::alertViewClickedButtonAtIndex(const std::shared_ptr<UIAlertView>& alertView, NSInteger buttonIndex)
{
    prospecting::answerConfirmation(alertView, buttonIndex, [this] {
        std::vector<std::optional<std::string>> numbers;
        numbers.reserve(listArray_.size());
        for (const auto& record : listArray_)
            numbers.push_back(record->phoneName());
        return numbers;
    }, view());
}
