// Writing leads into the address book and taking them out again. The import writes each
// number as a new contact whose only name is the first name "粉丝", with one mobile number,
// through its own handle and its own save; the clear removes every contact whose first name is
// exactly "粉丝" and saves once. Both report how many writes were saved, so that success is
// said only when every one was; without access to the address book (refused, or not yet
// granted) nothing is attempted and the screen says so.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIView.h"

namespace prospecting {

inline constexpr const char* kFanFirstName = "粉丝";

struct ContactWrite {
    bool noAccess = false; // no handle: the user refused access
    int written = 0; // contacts saved (import) or removed and saved (clear)
    int total = 0; // numbers given (import) or contacts named "粉丝" found (clear)
    bool complete() const { return !noAccess && written == total; }
};

// The number to write for a text shown as a phone number: the text without blanks around it,
// when it then reads as a phone number (at least three digits, with an optional leading "+",
// and blanks, dots, dashes or brackets between them); none otherwise.
std::optional<std::string> importableNumber(std::string_view text);

// A nil number, or one that is no phone number, is counted but never written.
ContactWrite importContacts(const std::vector<std::optional<std::string>>& numbers);
ContactWrite clearContacts();

// The outcome on the screen: "导入成功" or "删除成功", with the success icon, when complete,
// the access alert when there was no access (a clear also says it did not happen), otherwise an
// error saying how many were written.
void reportImport(const ContactWrite& result, const std::shared_ptr<UIView>& view);
void reportClear(const ContactWrite& result, const std::shared_ptr<UIView>& view);
// The alert shown when the address book may not be used.
void showAccessAlert();

// The confirmations of a screen's import and clear buttons, answered by its alert delegate.
// Without numbers the import is refused at once with "获取到号码后再导入".
void confirmImport(bool haveNumbers, std::weak_ptr<UIAlertViewDelegate> delegate, const std::shared_ptr<UIView>& view);
void confirmClear(std::weak_ptr<UIAlertViewDelegate> delegate);
// Runs the import or clear when `alert` is one of those confirmations and "确认" (index 0) was
// tapped; `numbers` gives the screen's numbers as they are at that moment.
void answerConfirmation(const std::shared_ptr<UIAlertView>& alert, NSInteger buttonIndex,
    const std::function<std::vector<std::optional<std::string>>()>& numbers, const std::shared_ptr<UIView>& view);

} // namespace prospecting
