// The lead import screens against our data server: the pickers, the checks before a fetch,
// every message of the fetch's failure table, replies of the wrong shape, the empty-page label,
// paging with its bounds, the screen that fetches by number range, the precise screen, and the
// picker row made anew by a reload. Then import and clear, checked in the address-book file (the
// host road walks the confirmations): contacts named "粉丝" with the page's numbers, a clear that
// takes exactly those, partial failures reported with their count, numbers shown as sent and
// written when they read as phone numbers, no access, and the list at confirmation.
#include <limits>

#include "app/prospecting/RQContryController.h"
#include "app/prospecting/RQJingZhunJiaFenController.h"
#include "app/prospecting/tests/ScreenTestSupport.h"
#include "platform/addressbook/ABAddressBook.h"

using dataserver::Failure;

namespace app::test {

namespace {

class LeadFetch : public ScreenTest { };

TEST_F(LeadFetch, ACityNeedsAProvinceOnePickerAtATimeAndABlankChoice)
{
    auto screen = open<RQAddFirendController>();
    // A city before any province.
    tap(screen->shiBtn());
    EXPECT_EQ(lastHud(screen->view()), "获取数据失败");
    EXPECT_EQ(server().requests("district/listSubDistrict.do").size(), 1u);

    // One province picker at a time; a tap on its backdrop leaves a blank choice.
    tap(screen->shengBtn());
    auto picker = screen->listShu();
    ASSERT_TRUE(picker);
    tap(screen->shengBtn());
    EXPECT_EQ(screen->listShu(), picker);
    picker->backdrop()->gestureRecognizers()[0]->fire(UIGestureRecognizerStateEnded);
    EXPECT_FALSE(screen->listShu());
    EXPECT_EQ(screen->shengBtn()->titleForState(UIControlStateNormal), " ");
    EXPECT_EQ(screen->shengId(), "");
}

// From 7.0 on, 7.0 itself included, the screen lies below the navigation bar: its main buttons
// and the province picker's first row take a touch at their centre.
TEST_F(LeadFetch, OnSevenZeroTheButtonsAndThePickerLieBelowTheBar)
{
    UIDevice::currentDevice()->setSystemVersion("7.0");
    auto screen = open<RQAddFirendController>();
    ASSERT_EQ(screen->buttonArray().size(), 2u);
    for (const auto& button : screen->buttonArray())
        EXPECT_TRUE(touchAtCentreReaches(button)) << button->titleForState(UIControlStateNormal);
    tap(screen->shengBtn());
    ASSERT_TRUE(screen->listShu());
    auto rows = screen->listShu()->mytableView();
    rows->layoutIfNeeded();
    EXPECT_TRUE(touchAtCentreReaches(rows->cellForRowAtIndexPath({ 0, 0 })));
}

TEST_F(LeadFetch, ChecksBeforeFetchingInTheirOrder)
{
    auto screen = open<RQAddFirendController>();
    tapFetch(screen, "51");
    EXPECT_EQ(lastHud(screen->view()), "一次只能最多获取50个号码");
    tapFetch(screen, "50");
    EXPECT_EQ(lastHud(screen->view()), "未选择省");
    screen->setShengId("440000");
    tapFetch(screen, "20");
    EXPECT_EQ(lastHud(screen->view()), "未选择城市");
    EXPECT_TRUE(server().requests("data/listPhone.do").empty());

    // The size goes out as typed.
    screen->setShiId("440100");
    server().fail("data/listPhone.do", Failure::refuse("每页数量要在1到50之间"));
    tapFetch(screen, "");
    ASSERT_TRUE(waitForHud(screen->view(), "每页数量要在1到50之间"));
    EXPECT_EQ(lastPhoneRequest().params.at("pageSize"), "");
}

TEST_F(LeadFetch, EveryReplyOutcomeHasItsMessage)
{
    auto screen = open<RQAddFirendController>();
    pickRegion(screen, 0, 0);
    fetchNumbers(screen, 20);
    const auto page = numbersOf(screen);

    const std::pair<Failure, const char*> failures[] = { { Failure::refuse("今日数量已用完"), "今日数量已用完" },
        { Failure::http(500), "出错" }, { Failure::drop(), "出错" },
        { Failure::notJson(), "出错" } }; // a body that is not JSON reads as status 0 without a message
    for (const auto& [failure, text] : failures) {
        server().fail("data/listPhone.do", failure);
        tapFetch(screen);
        ASSERT_TRUE(waitForHud(screen->view(), text)) << failure.describe();
        clearHuds();
    }

    // Another status is ignored without a word.
    server().fail("data/listPhone.do", Failure::refuse("不显示", 2));
    tapFetch(screen);
    ASSERT_TRUE(waitFor([&] { return loggedContaining("不显示"); }));
    testing_support::settle(1);
    EXPECT_TRUE(hudTexts(screen->view()).empty());
    // None of them touched the list.
    EXPECT_EQ(numbersOf(screen), page);

    // Replies of the wrong shape read as absent.
    for (const char* body : { "[1,2]", R"({"status":1,"info":[1]})", R"({"status":1,"info":{"pageSize":"7","listItems":"x"}})" }) {
        server().fail("data/listPhone.do", Failure::withBody(body));
        clearLog();
        tapFetch(screen);
        ASSERT_TRUE(waitFor([&] { return loggedContaining("param:") && logCount() >= 3; })) << body;
    }
    EXPECT_TRUE(screen->listArray().empty());
    EXPECT_EQ(screen->counts(), 7);
}

TEST_F(LeadFetch, PagingWalksThePagesAsCountedAndTheEmptyLabelFollows)
{
    // The host road pages by touch; the bounds are below. Before any reply there are no pages.
    auto screen = open<RQAddFirendController>();
    tapPage(screen, 2);
    EXPECT_EQ(lastHud(screen->view()), "已经最后一页了");
    EXPECT_EQ(screen->page(), 1);
    screen->setPage(0);
    pickRegion(screen, 0, 0);
    fetchNumbers(screen, 50, "50"); // 130 numbers: Q = 2, R = 30, P = 3
    const auto first = numbersOf(screen);
    EXPECT_FALSE(screen->orderLabel());
    tapPage(screen, 3, "50"); // last: page Q
    ASSERT_TRUE(waitFor([&] { return screen->listArray().size() == 30; }));
    EXPECT_EQ(screen->page(), 2);
    EXPECT_EQ(lastPhoneRequest().params.at("page"), "2");

    tapPage(screen, 2, "50"); // page 3 = P is still asked for, and is empty
    ASSERT_TRUE(waitFor([&] { return screen->orderLabel() && screen->orderLabel()->alpha() == 1; }));
    auto label = screen->orderLabel();
    EXPECT_EQ(label->text(), "没有相关数据");
    EXPECT_EQ(lastPhoneRequest().params.at("page"), "3");
    clearHuds();

    auto sent = server().requests("data/listPhone.do").size();
    tapPage(screen, 2, "50");
    EXPECT_EQ(lastHud(screen->view()), "已经最后一页了");
    EXPECT_EQ(screen->page(), 4);
    EXPECT_EQ(server().requests("data/listPhone.do").size(), sent);

    tap(screen->pagingButtons()[0]);
    ASSERT_TRUE(waitFor([&] { return numbersOf(screen) == first; }));
    EXPECT_EQ(screen->page(), 0);
    EXPECT_EQ(screen->orderLabel(), label) << "made once, then only hidden";
    EXPECT_EQ(label->alpha(), 0);
}

// Totals the server sends and sizes the user types at the ends of their ranges: paging neither
// traps on the division nor wraps the page counter.
TEST_F(LeadFetch, PagingBoundsTheTotalAndTheSizeBeforeCounting)
{
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    struct Case {
        bool byRange;
        const char* total; // "pageSize" of the reply, as JSON
        const char* size;  // typed into the size field
        std::vector<int> buttons;
        std::int32_t page;
        const char* hud;
    };
    const Case cases[] = {
        { false, "-9223372036854775808", "-1", { 3 }, 0, "" },
        { true, "\"-9223372036854775808\"", "-1", { 2 }, 1, "已经最后一页了" },
        { false, "2147483647", "1", { 3, 2 }, kMax, "" },
        { false, "9223372036854775807", "1", { 3, 2 }, kMax, "" },
        { false, "2147483647", "-1", { 3, 1, 1 }, kMin, "已经第一页了" },
        { true, "1e300", "-9223372036854775808", { 3, 1 }, -1, "已经第一页了" },
        { false, "100", "99999999999999999999", { 3 }, 0, "一次只能最多获取50个号码" },
    };
    for (const auto& c : cases) {
        auto screen = c.byRange ? open<RQContryController>() : open<RQAddFirendController>();
        screen->setShengId("440000");
        screen->setShiId("440100");
        screen->setHaoDuanId("1592000");
        server().fail("data/listPhone.do",
            Failure::withBody(std::string(R"({"status":1,"info":{"listItems":[],"pageSize":)") + c.total + "}}"));
        tapFetch(screen);
        ASSERT_TRUE(waitFor([&] { return screen->orderLabel() != nullptr; })) << c.total;
        for (int button : c.buttons)
            tapPage(screen, button, c.size);
        EXPECT_EQ(screen->page(), c.page) << c.total << " " << c.size;
        EXPECT_EQ(lastHud(screen->view()), c.hud) << c.total << " " << c.size;
        testing_support::settle(1);
        clearHuds();
        navigation->popToRootViewControllerAnimated(false);
        server().reset();
    }
}

TEST_F(LeadFetch, RangeScreenNeedsARangeAndASizeFromOneToFifty)
{
    auto screen = open<RQContryController>();
    EXPECT_FALSE(screen->shengBtn());
    tapFetch(screen, "20");
    EXPECT_EQ(lastHud(screen->view()), "未选择号段");
    // A refused or failed range list shows the server's words or "出错".
    for (const auto& [failure, text] : { std::pair { Failure::refuse("号段维护中"), "号段维护中" }, std::pair { Failure::http(), "出错" } }) {
        server().fail("data/listSection.do", failure);
        tap(screen->haoBtn());
        ASSERT_TRUE(waitForHud(screen->view(), text));
        EXPECT_FALSE(screen->haoduan());
        clearHuds();
    }
    server().reset();
    tap(screen->haoBtn());
    ASSERT_TRUE(waitFor([&] { return screen->haoduan() != nullptr; }));
    choose(screen->haoduan(), 1);
    EXPECT_EQ(screen->haoDuanId(), "1592000");
    for (const char* size : { "51", "0", "", "-5" }) {
        clearHuds();
        tapFetch(screen, size);
        EXPECT_EQ(lastHud(screen->view()), "请求数量要小于50大于1") << size;
    }
    EXPECT_TRUE(server().requests("data/listPhone.do").empty());

    fetchNumbers(screen, 50, "50");
    EXPECT_EQ(lastPhoneRequest().params.at("sectionNo"), "1592000");
    EXPECT_EQ(numbersOf(screen)[0].substr(0, 7), "1592000");
}

// The precise screen checks the province and city as the region screen does, and sends any
// size as typed: the server has the last word.
TEST_F(LeadFetch, PreciseScreenNeedsARegionAndSendsTheSizeAsTyped)
{
    auto screen = open<RQJingZhunJiaFenController>();
    EXPECT_EQ(screen->myTitle()->text(), "精准加粉");
    tapFetch(screen, "51");
    EXPECT_EQ(lastHud(screen->view()), "未选择省");
    screen->setShengId("440000");
    tapFetch(screen, "51");
    EXPECT_EQ(lastHud(screen->view()), "未选择城市");
    EXPECT_TRUE(server().requests("data/listPhone.do").empty());

    clearHuds();
    pickRegion(screen, 0, 0);
    tapFetch(screen, "51");
    ASSERT_TRUE(waitForHud(screen->view(), "每页数量要在1到50之间"));
    auto sent = lastPhoneRequest().params;
    EXPECT_EQ(sent.at("pageSize"), "51");
    EXPECT_EQ(sent.at("proviceId"), *screen->shengId());
    EXPECT_EQ(sent.at("cityId"), *screen->shiId());
}

// A reload makes a new picker row: its boxes show the province, city and range still chosen
// (the ones the next fetch sends), its size field "20".
TEST_F(LeadFetch, ANewPickerRowShowsWhatIsStillChosen)
{
    auto screen = open<RQAddFirendController>();
    pickRegion(screen, 0, 0);
    tap(screen->haoBtn());
    ASSERT_TRUE(waitFor([&] { return screen->haoduan() != nullptr; }));
    choose(screen->haoduan(), 1);
    auto titles = [](const std::shared_ptr<RQAddFirendController>& s) {
        return std::vector<std::string> { s->shengBtn()->titleForState(UIControlStateNormal),
            s->shiBtn()->titleForState(UIControlStateNormal), s->haoBtn()->titleForState(UIControlStateNormal) };
    };
    const auto chosen = titles(screen);
    EXPECT_NE(chosen, (std::vector<std::string> { "省", "市", "号段" }));
    auto oldBox = screen->shengBtn();

    fetchNumbers(screen, 30, "30");
    EXPECT_NE(screen->shengBtn(), oldBox) << "the row was made anew";
    EXPECT_EQ(titles(screen), chosen);
    EXPECT_EQ(screen->pageCounts()->text(), "20");
}

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
    useAppResources();
    auto screen = screenWithPage(20);
    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(storedFanNumbers(), numbersOf(screen));
    EXPECT_EQ(lastHud(screen->view()), "导入成功");
    auto successIcon = UIImage::imageNamed("PGProgressHUD.bundle/success.png");
    ASSERT_TRUE(successIcon);
    EXPECT_EQ(lastHudIcon(screen->view()), successIcon) << "a success shows the success icon";
    addPerson("粉丝", "王", "13900000001"); // made by hand, still a fan
    addPerson("粉丝 ", Value(), "13900000002");
    addPerson(Value(), "李", "13900000003");
    addPerson("张", Value(), "13900000004");
    clearHuds();

    tapAndAnswer(screen, 1, "确认");
    EXPECT_EQ(lastHud(screen->view()), "删除成功");
    EXPECT_EQ(lastHudIcon(screen->view()), successIcon) << "so does a clear";
    std::vector<std::string> left;
    for (const auto& [first, phone] : storedPeople())
        left.push_back(phone);
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

// Every number shows as the server sent it; the import writes those that read as phone numbers
// once the blanks around them are gone, and counts the rest as not imported.
TEST_F(LeadContacts, NumbersShowAsSentAndOnlyThoseThatReadAsPhoneNumbersAreWritten)
{
    server().fail("data/listPhone.do", Failure::withBody(R"({"status":1,"info":{"pageSize":12,"listItems":[)"
                                                         R"({"phone":null},{},{"phone":"abc"},{"phone":"  "},)"
                                                         R"({"phone":true},{"phone":"138x"},)"
                                                         R"({"phone":" 13800138000"},{"phone":"(020) 8888-1234"},)"
                                                         R"({"phone":"138.0013.8000"},{"phone":"+86 138-0000-0001"},)"
                                                         R"({"phone":13800000002},{"phone":"13800000003\t"}]}})"));
    auto screen = open<RQAddFirendController>();
    pickRegion(screen, 0, 0);
    fetchNumbers(screen, 12);
    EXPECT_EQ(numbersOf(screen),
        (std::vector<std::string> { "<null>", "(null)", "abc", "  ", "1", "138x", " 13800138000", "(020) 8888-1234",
            "138.0013.8000", "+86 138-0000-0001", "13800000002", "13800000003\t" }));

    tapAndAnswer(screen, 0, "确认");
    EXPECT_EQ(lastHud(screen->view()), "导入未完成：已导入6个，共12个");
    EXPECT_EQ(storedFanNumbers(), (std::vector<std::string> { "13800138000", "(020) 8888-1234", "138.0013.8000",
                                      "+86 138-0000-0001", "13800000002", "13800000003" }));
}

// Refused, restricted or not yet granted: nothing is written or removed. The import asks for
// access; the clear also says it did not happen (a handle without access sees no one, so it would
// otherwise find nothing and call that a success).
TEST_F(LeadContacts, WithoutAccessNothingIsAttemptedAndTheClearSaysSo)
{
    auto screen = screenWithPage(20);
    addPerson("粉丝", Value(), "13900000001");
    auto answerAccessAlert = [] {
        auto alert = topAlert();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), "温馨提示");
        alert->tapButtonAtIndex(0);
    };
    for (auto status : { kABAuthorizationStatusDenied, kABAuthorizationStatusRestricted, kABAuthorizationStatusNotDetermined }) {
        addressbook::setAuthorizationStatus(status);
        clearHuds();
        tapAndAnswer(screen, 1, "确认");
        EXPECT_EQ(hudTexts(screen->view()), (std::vector<std::string> { "删除未完成：未获得通讯录权限" })) << status;
        answerAccessAlert();
        if (status == kABAuthorizationStatusNotDetermined)
            continue;
        clearHuds();
        tapAndAnswer(screen, 0, "确认");
        answerAccessAlert();
        EXPECT_TRUE(hudTexts(screen->view()).empty());
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
