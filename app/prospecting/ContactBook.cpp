// Import and clear over the address book, and their messages.
#include "app/prospecting/ContactBook.h"

#include "app/prospecting/RQPhoneModel.h"

#include "platform/addressbook/ABAddressBook.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIAlertView.h"
#include "ui/PGProgressHUD.h"

namespace prospecting {

namespace {

ABRecordRef newFan(const std::string& number)
{
    auto person = ABPersonCreate();
    ABRecordSetValue(person, kABPersonFirstNameProperty, Value(kFanFirstName), nullptr);
    auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
    ABMultiValueAddValueAndLabel(phones, Value(number), Value(kABPersonPhoneMobileLabel), nullptr);
    ABRecordSetValue(person, kABPersonPhoneProperty, Value(phones), nullptr);
    return person;
}

bool isFan(const ABRecordRef& person)
{
    Value first = ABRecordCopyValue(person, kABPersonFirstNameProperty);
    return first.isString() && first.asString() == kFanFirstName;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

constexpr NSInteger kClearAlertTag = 101;
constexpr NSInteger kImportAlertTag = 102;

} // namespace

std::optional<std::string> importableNumber(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    std::string_view body = text.starts_with('+') ? text.substr(1) : text;
    if (body.empty() || !(isDigit(body.front()) || body.front() == '(') || !isDigit(body.back()))
        return std::nullopt;
    int digits = 0;
    for (char c : body) {
        if (isDigit(c))
            ++digits;
        else if (c != ' ' && c != '.' && c != '-' && c != '(' && c != ')')
            return std::nullopt;
    }
    if (digits < 3)
        return std::nullopt;
    return std::string(text);
}

ContactWrite importContacts(const std::vector<std::optional<std::string>>& numbers)
{
    ContactWrite result;
    result.total = static_cast<int>(numbers.size());
    for (const auto& number : numbers) {
        NSErrorRef error;
        auto book = ABAddressBookCreateWithOptions(Value(), &error);
        if (!book) {
            result.noAccess = true;
            return result;
        }
        auto dialable = number ? importableNumber(*number) : std::nullopt;
        if (!dialable)
            continue;
        if (!ABAddressBookAddRecord(book, newFan(*dialable), &error))
            continue;
        if (ABAddressBookSave(book, &error))
            ++result.written;
        else
            NSLog("save failed: %@", error ? error->description() : std::string());
    }
    return result;
}

ContactWrite clearContacts()
{
    ContactWrite result;
    // Before access is granted a handle sees no one: the fans would stay while the clear
    // found nothing to do.
    auto book = ABAddressBookGetAuthorizationStatus() == kABAuthorizationStatusAuthorized ? ABAddressBookCreate() : nullptr;
    if (!book) {
        result.noAccess = true;
        return result;
    }
    int removed = 0;
    for (const auto& person : ABAddressBookCopyArrayOfAllPeople(book)) {
        if (!isFan(person))
            continue;
        ++result.total;
        if (ABAddressBookRemoveRecord(book, person, nullptr))
            ++removed;
    }
    NSErrorRef error;
    if (ABAddressBookSave(book, &error))
        result.written = removed;
    return result;
}

void showAccessAlert()
{
    auto alert = UIAlertView::initWithTitle("温馨提示", "请您设置允许APP访问您的通讯录\nSettings>General>Privacy", {}, "确定");
    alert->show();
}

void reportImport(const ContactWrite& result, const std::shared_ptr<UIView>& view)
{
    if (result.noAccess)
        return showAccessAlert();
    if (result.complete())
        return PGProgressHUD::showSuccess("导入成功", view);
    PGProgressHUD::showError(NSString::stringWithFormat("导入未完成：已导入%d个，共%d个", result.written, result.total), view);
}

void reportClear(const ContactWrite& result, const std::shared_ptr<UIView>& view)
{
    if (result.noAccess) {
        PGProgressHUD::showError("删除未完成：未获得通讯录权限", view);
        return showAccessAlert();
    }
    if (result.complete())
        return PGProgressHUD::showSuccess("删除成功", view);
    PGProgressHUD::showError(NSString::stringWithFormat("删除未完成：已删除%d个，共%d个", result.written, result.total), view);
}

void confirmImport(bool haveNumbers, std::weak_ptr<UIAlertViewDelegate> delegate, const std::shared_ptr<UIView>& view)
{
    if (!haveNumbers)
        return PGProgressHUD::showSuccess("获取到号码后再导入", view);
    auto alert = UIAlertView::initWithTitle("", "是否导入通讯录,名称为：粉丝", std::move(delegate), "确认", { "取消" });
    alert->setTag(kImportAlertTag);
    alert->show();
}

void confirmClear(std::weak_ptr<UIAlertViewDelegate> delegate)
{
    auto alert = UIAlertView::initWithTitle("是否删除名为：粉丝 的联系人", "该操作将删除通讯录中所有联系人且不可恢复!请谨慎操作!",
        std::move(delegate), "确认", { "取消" });
    alert->setTag(kClearAlertTag);
    alert->show();
}

void answerConfirmation(const std::shared_ptr<UIAlertView>& alert, NSInteger buttonIndex,
    const std::function<std::vector<std::optional<std::string>>()>& numbers, const std::shared_ptr<UIView>& view)
{
    if (!alert || buttonIndex != 0)
        return;
    if (alert->tag() == kClearAlertTag)
        return reportClear(clearContacts(), view);
    if (alert->tag() == kImportAlertTag && numbers)
        reportImport(importContacts(numbers()), view);
}

} // namespace prospecting
