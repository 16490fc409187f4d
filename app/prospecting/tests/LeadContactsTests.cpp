// Import and clear from the lead import screen, checked in the address-book file (the host road
// checks the confirmations' texts): contacts named "粉丝" with the page's numbers, a clear that
// takes exactly those, partial failures reported with their count, values that are no phone
// numbers never written, no access, and the list at confirmation.
#include "app/prospecting/tests/ScreenTestSupport.h"
#include "platform/addressbook/ABAddressBook.h"

using dataserver::Failure;

namespace app::test {

namespace {

class LeadContacts : public ScreenTest {
protected:
    std::shared_ptr<RQAddFirendController> screenWithPage(std::size_t size)
    {
        auto screen = open<RQAddFirendController>();
        pickRegion(screen, 0, 0);
        fetchNumbers(screen, size, std::to_string(size));
        return screen;
    }
    static void addPerson(const Value& first, const Value& last, const std::string& phone)
    {
        auto book = ABAddressBookCreateWithOptions(Value(), nullptr);
        auto person = ABPersonCreate();
        if (!first.isAbsent())
            ABRecordSetValue(person, kABPersonFirstNameProperty, first, nullptr);
        if (!last.isAbsent())
            ABRecordSetValue(person, kABPersonLastNameProperty, last, nullptr);
        auto phones = ABMultiValueCreateMutable(kABMultiStringPropertyType);
        ABMultiValueAddValueAndLabel(phones, Value(phone), Value(kABPersonPhoneMobileLabel), nullptr);
        ABRecordSetValue(person, kABPersonPhoneProperty, Value(phones), nullptr);
        ABAddressBookAddRecord(book, person, nullptr);
        ASSERT_TRUE(ABAddressBookSave(book, nullptr));
    }
};

TEST_F(LeadContacts, ImportWritesEveryNumberAsAFanAndClearRemovesExactlyTheFans)
{
    auto screen = screenWithPage(20);
    // The same page twice writes every contact twice.
    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(lastHud(screen->view()), "导入成功");
    clearHuds();
    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(storedFanNumbers().size(), 40u);
    for (const auto& person : storedPeople())
        EXPECT_EQ(person.label, kABPersonPhoneMobileLabel);
    addPerson("粉丝", "王", "13900000001"); // made by hand, still a fan
    addPerson("粉丝 ", Value(), "13900000002");
    addPerson(Value(), "李", "13900000003");
    addPerson("张", Value(), "13900000004");
    clearHuds();

    tapAndAnswer(screen, 1, "确认");
    EXPECT_EQ(lastHud(screen->view()), "删除成功");
    std::vector<std::string> left;
    for (const auto& person : storedPeople())
        left.push_back(person.phone);
    EXPECT_EQ(left, (std::vector<std::string> { "13900000002", "13900000003", "13900000004" }));

    // Nothing left to clear still succeeds.
    clearHuds();
    tapAndAnswer(screen, 1, "确认");
    EXPECT_EQ(lastHud(screen->view()), "删除成功");
}

TEST_F(LeadContacts, CancelAndEmptyListWriteNothing)
{
    auto screen = open<RQAddFirendController>();
    tap(screen->buttonArray()[0]);
    EXPECT_EQ(lastHud(screen->view()), "获取到号码后再导入");
    EXPECT_FALSE(topAlert());

    pickRegion(screen, 0, 0);
    fetchNumbers(screen, 20);
    tapAndAnswer(screen, 0, "取消");
    tapAndAnswer(screen, 1, "取消");
    EXPECT_TRUE(storedPeople().empty());
    EXPECT_FALSE(topAlert());
}

TEST_F(LeadContacts, PartialFailuresSayHowManyWereWritten)
{
    auto screen = screenWithPage(50);
    addressbook::failNext(addressbook::StoreOperation::Save, 2);
    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(lastHud(screen->view()), "导入未完成：已导入48个，共50个");
    EXPECT_EQ(storedFanNumbers().size(), 48u);

    clearHuds();
    addressbook::failNext(addressbook::StoreOperation::Add, 1);
    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(lastHud(screen->view()), "导入未完成：已导入49个，共50个");
    EXPECT_EQ(storedFanNumbers().size(), 97u);

    // A clear whose save fails removes nothing and says so.
    clearHuds();
    addressbook::failNext(addressbook::StoreOperation::Save, 1);
    tapAndAnswer(screen, 1, "确认");
    EXPECT_EQ(lastHud(screen->view()), "删除未完成：已删除0个，共97个");
    EXPECT_EQ(storedFanNumbers().size(), 97u);
}

// Missing numbers and values that read as no phone number are listed but never written.
TEST_F(LeadContacts, OnlyValuesThatAreNumbersAreWritten)
{
    server().fail("data/listPhone.do", Failure::withBody(R"({"status":1,"info":{"pageSize":13,"listItems":[)"
                                                         R"({"phone":null},{},"13811112222",)"
                                                         R"({"phone":{"n":1}},{"phone":[13800000000]},{"phone":true},)"
                                                         R"({"phone":"abc"},{"phone":"  "},{"phone":1e20},)"
                                                         R"({"phone":13800138000.5},{"phone":"+86 138-0000-0001"},)"
                                                         R"({"phone":13800000002},{"phone":"13800000003"}]}})"));
    auto screen = open<RQAddFirendController>();
    pickRegion(screen, 0, 0);
    fetchNumbers(screen, 13);
    EXPECT_EQ(numbersOf(screen)[0], "(null)");
    EXPECT_EQ(numbersOf(screen)[2], "(null)");

    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(lastHud(screen->view()), "导入未完成：已导入3个，共13个");
    EXPECT_EQ(storedFanNumbers(), (std::vector<std::string> { "+86 138-0000-0001", "13800000002", "13800000003" }));
}

TEST_F(LeadContacts, WithoutAccessNothingIsAttempted)
{
    auto screen = screenWithPage(20);
    addPerson("粉丝", Value(), "13900000001");
    for (auto status : { kABAuthorizationStatusDenied, kABAuthorizationStatusRestricted }) {
        addressbook::setAuthorizationStatus(status);
        for (int button : { 0, 1 }) {
            tapAndAnswer(screen, button, "确认");
            auto alert = topAlert();
            ASSERT_TRUE(alert);
            EXPECT_EQ(alert->title(), "温馨提示");
            alert->tapButtonAtIndex(0);
            EXPECT_TRUE(hudTexts(screen->view()).empty());
        }
    }
    addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized);
    EXPECT_EQ(storedFanNumbers(), (std::vector<std::string> { "13900000001" }));
}

TEST_F(LeadContacts, TheListAtConfirmationIsWhatIsWritten)
{
    auto screen = screenWithPage(20);
    tap(screen->buttonArray()[0]);
    auto alert = topAlert();
    ASSERT_TRUE(alert);
    // A reply lands while the alert is up.
    fetchNumbers(screen, 5, "5");
    alert->tapButtonAtIndex(0);
    EXPECT_EQ(storedFanNumbers(), numbersOf(screen));
    EXPECT_EQ(storedFanNumbers().size(), 5u);
}

} // namespace

} // namespace app::test
