// The command driver end to end: the sample screen (tap, type, alerts, dump, snapshot, quit);
// every malformed or failing command line reported as "error: <line>: <why>"; screens by name
// ("open", "back" and the stand-in delegate's menu); "contacts", the address
// book's people as the host prints them; and "waitfor" and "tap ... until", waiting in real time
// for what arrives later, and a HUD's text that stays until virtual time moves; and each command's
// output written in one piece.
#include <gtest/gtest.h>

#include <streambuf>
#include <string>
#include <vector>

#include "host/SampleApp.h"
#include "host/tests/HostRun.h"
#include "platform/addressbook/ABAddressBook.h"
#include "platform/addressbook/ABTestSeams.h"
#include "platform/foundation/Clock.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/UIImage.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/UILabel.h"
#include "ui/PGProgressHUD.h"

namespace {

using host_test::contains;
using host_test::HostTest;
using host_test::runScript;

TEST_F(HostTest, SampleScreenTapTypeAnswerDumpAndSnapshot)
{
    std::string png = home.pathFor("shot.png");
    auto run = runScript<host::SampleAppDelegate>("# the sample screen\ntap tag 3\ntype Ann\ntap title Show alert\ndump\n"
                                                  "alert title OK\nadvance 1\ndump\nsnapshot " + png + "\nquit\necho never reached\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(contains(run.output, "UIAlertView title=\"Sample\" message=\"Continue, Ann?\" buttons=[0 \"Cancel\", 1 \"OK\"]"))
        << run.output;
    EXPECT_TRUE(contains(run.output, "      UILabel {{20, 90}, {280, 30}} \"Answered: OK\" tag=1")) << run.output;
    EXPECT_TRUE(contains(run.output, "UITextField {{20, 200}, {280, 36}} \"Ann\" tag=3")) << run.output;
    EXPECT_TRUE(contains(run.output, "UIWindow {{0, 0}, {320, 568}}"));
    EXPECT_FALSE(contains(run.output, "never reached"));

    auto image = UIImage::imageWithContentsOfFile(png);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), 640u);
    EXPECT_EQ(CGImageGetHeight(image->CGImage()), 1136u);
    EXPECT_EQ(host::unescape("a\\nb\\\\c\\b"), "a\nb\\c\b");
}

TEST_F(HostTest, TheIndexDumpShowsBeforeAButtonAnswersThatButton)
{
    auto run = runScript<host::SampleAppDelegate>("tap title Show alert\ndump\nalert index 0\ndump\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(contains(run.output, "buttons=[0 \"Cancel\", 1 \"OK\"]")) << run.output;
    EXPECT_TRUE(contains(run.output, "\"Answered: Cancel\"")) << run.output;
}

// An unbuffered output that keeps each write apart, as the app's log lines from other threads see it.
class Writes : public std::streambuf {
public:
    std::vector<std::string> pieces;

protected:
    std::streamsize xsputn(const char* text, std::streamsize n) override
    {
        pieces.emplace_back(text, static_cast<std::size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override
    {
        if (c != traits_type::eof())
            pieces.emplace_back(1, traits_type::to_char_type(c));
        return c;
    }
};

TEST_F(HostTest, EachCommandsOutputIsWrittenInOnePiece)
{
    Writes writes;
    std::ostream out(&writes);
    EXPECT_EQ(host_test::runScriptTo<host::SampleAppDelegate>("echo one\nfly away\ndump\n", out), 1);
    ASSERT_EQ(writes.pieces.size(), 3u);
    EXPECT_EQ(writes.pieces[0], "one\n");
    EXPECT_EQ(writes.pieces[1], "error: fly away: unknown command\n");
    EXPECT_TRUE(writes.pieces[2].starts_with("UIWindow {{0, 0}, {320, 568}}")) << writes.pieces[2];
}

TEST_F(HostTest, MalformedAndFailingCommandsAreEachReported)
{
    struct Case {
        const char* line;
        const char* why;
    };
    const Case cases[] = {
        { "fly away", "unknown command" },
        { "tap title Nowhere", "no such view on screen" },
        { "tap title Nowhere until title 广东省", "no such view on screen" },
        { "tap title Menu until sky blue", "wait for a title, an alert, a hud, pictures or the album" },
        { "alert index 0", "no alert on screen" },
        { "advance -1", "expected a number of seconds" },
        { "timeout 0", "expected a number of seconds" },
        { "timeout soon", "expected a number of seconds" },
        { "pump 0", "expected a number of seconds" },
        { "clock sideways", "expected real or virtual" },
        { "onerror maybe", "expected stop or go" },
        { "waitfor title Never", "nothing such appeared within 0.2 s" },
        { "waitfor alert", "nothing such appeared within 0.2 s" },
        { "waitfor hud Never", "nothing such appeared within 0.2 s" },
        { "waitfor sky blue", "wait for a title, an alert, a hud, pictures or the album" },
        { "waitfor title", "expected the text to wait for" },
        { "open nowhere", "no screen registered as \"nowhere\"" },
        { "back", "only the root screen is left" },
        { "scroll sideways", "expected by <dx> <dy> [at <x> <y>] or title <text>" },
        { "notify [1]", "expected a JSON object" },
        { "openurl not a url", "expected a URL with a scheme" },
        { "menu copy", "no edit menu on screen" },
        { "pick cancel", "no image picker on screen" },
        { "snapshot", "expected a file name (<name>.png)" },
        { "snapshot x.jpg", "a snapshot is a PNG: the file name must end in .png" },
        { "snapshot .png", "a snapshot is a PNG: the file name must end in .png" },
    };
    std::string script = "timeout 0.2\npump 0.05\n";
    for (const auto& c : cases)
        script += std::string(c.line) + "\n";
    script += "onerror stop\ntap title Nowhere\necho after the stop\n";
    auto run = runScript(script);
    EXPECT_EQ(run.status, 1);
    for (const auto& c : cases)
        EXPECT_TRUE(contains(run.output, "error: " + std::string(c.line) + ": " + c.why + "\n")) << c.line << "\n" << run.output;
    EXPECT_EQ(host_test::count(run.output, "error: "), std::size(cases) + 1) << "each once, and none for the pump";
    EXPECT_FALSE(contains(run.output, "after the stop")) << "onerror stop ends the script at the next error";
}

// A screen that shows its own name.
class NamedScreen : public UIViewController {
public:
    explicit NamedScreen(std::string name)
        : name_(std::move(name))
    {
    }
    void viewDidLoad() override
    {
        setTitle(name_);
        auto label = UILabel::create({ { 20, 100 }, { 280, 30 } });
        label->setText("This is " + name_);
        view()->addSubview(label);
    }

private:
    std::string name_;
};

// A screen whose list comes late, as a server's reply would: through main-loop work scheduled
// for later. The first tap on "Province" asks for it with nothing on screen to show it; a tap
// after it came shows it. "Toast" shows a short message.
class LateScreen : public UIViewController {
public:
    void viewDidLoad() override
    {
        view()->setBackgroundColor(UIColor::whiteColor());
        host_test::addButton(*this, "Toast", { { 20, 200 }, { 280, 40 } }, &LateScreen::toast);
        host_test::addButton(*this, "Province", { { 20, 250 }, { 280, 40 } }, &LateScreen::showList);
    }
    int listTaps = 0;
    bool shown = false;

private:
    void toast() { PGProgressHUD::showError("导入成功", view()); }
    void showList()
    {
        if (++listTaps == 1) {
            std::weak_ptr<LateScreen> weak = sharedAs<LateScreen>();
            uikit::performOnMainAfter(0.05, [weak] {
                if (auto self = weak.lock())
                    self->listArrived_ = true;
            });
        }
        if (!listArrived_ || shown)
            return;
        shown = true;
        auto label = UILabel::create({ { 20, 300 }, { 280, 30 } });
        label->setText("广东省");
        view()->addSubview(label);
    }
    bool listArrived_ = false;
};

// Screens "first", "second" and "late" registered, the address book fresh.
class HostScreens : public host_test::HostTest {
protected:
    void SetUp() override
    {
        addressbook::resetTestSeams();
        host::clearScreens();
        for (std::string name : { "first", "second" })
            host::registerScreen(name, [name] { return std::make_shared<NamedScreen>(name); });
        host::registerScreen("late", [this] { return late = std::make_shared<LateScreen>(); });
    }
    void TearDown() override
    {
        HostTest::TearDown();
        addressbook::resetTestSeams();
    }
    std::shared_ptr<LateScreen> late;
};

TEST_F(HostScreens, TheMenuOpenPushesAndBackPopsTheRootNavigation)
{
    auto run = host_test::runScript("tap title second\ntap title This is second\nback\n"
                                    "open first\nopen second\nback\ndump\nback\nback\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(host_test::count(run.output, "error: "), 1u) << "the menu opened second; only the last back fails: " << run.output;
    EXPECT_TRUE(contains(run.output, "\"This is first\"")) << run.output;
    EXPECT_FALSE(contains(run.output, "\"This is second\"")) << "second was popped: " << run.output;
    EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), kABAuthorizationStatusAuthorized)
        << "access is asked for at launch and granted by the headless device";
}

// Adds and saves one person; `phones` holds (label, number) pairs, an empty label meaning none.
void addPerson(const Value& first, const Value& last, std::vector<std::pair<std::string, std::string>> phones)
{
    auto book = ABAddressBookCreateWithOptions({}, nullptr);
    auto person = ABPersonCreate();
    if (!first.isAbsent())
        ABRecordSetValue(person, kABPersonFirstNameProperty, first, nullptr);
    if (!last.isAbsent())
        ABRecordSetValue(person, kABPersonLastNameProperty, last, nullptr);
    if (!phones.empty()) {
        auto numbers = ABMultiValueCreateMutable(kABMultiStringPropertyType);
        for (const auto& [label, number] : phones)
            ABMultiValueAddValueAndLabel(numbers, number, label.empty() ? Value() : Value(label), nullptr);
        ABRecordSetValue(person, kABPersonPhoneProperty, Value(numbers), nullptr);
    }
    EXPECT_TRUE(ABAddressBookAddRecord(book, person, nullptr));
    EXPECT_TRUE(ABAddressBookSave(book, nullptr));
}

// What "contacts" prints, and how many commands failed.
std::pair<std::string, int> contacts()
{
    std::ostringstream out;
    host::Driver driver(out);
    driver.execute("contacts");
    return { out.str(), driver.failures() };
}

TEST_F(HostScreens, ContactsListsEveryPersonInSaveOrderWithNamesAndLabelledPhonesOrWhyNot)
{
    addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized);
    EXPECT_EQ(contacts().first, "contacts: 0\n");
    addPerson("粉丝", {}, { { kABPersonPhoneMobileLabel, "13800000001" } });
    addPerson("Ann \"A\"", "Lee", { { kABPersonPhoneMobileLabel, "1" }, { kABHomeLabel, "020 2" }, { "", "3" } });
    addPerson({}, {}, {});
    addPerson("粉丝", "", { { kABPersonPhoneMobileLabel, "13800000002" } });
    EXPECT_EQ(contacts(), std::make_pair(std::string("contacts: 4\n"
                                                     "  first=\"粉丝\" last=(none) phones=[Mobile \"13800000001\"]\n"
                                                     "  first=\"Ann \\\"A\\\"\" last=\"Lee\" phones=[Mobile \"1\", Home \"020 2\", (none) \"3\"]\n"
                                                     "  first=(none) last=(none) phones=[]\n"
                                                     "  first=\"粉丝\" last=\"\" phones=[Mobile \"13800000002\"]\n"),
                              0));

    addressbook::setAuthorizationStatus(kABAuthorizationStatusDenied);
    EXPECT_EQ(contacts(), std::make_pair(std::string("error: contacts: no access to the address book (denied)\n"), 1));
    addressbook::setAuthorizationStatus(kABAuthorizationStatusNotDetermined);
    EXPECT_EQ(contacts(), std::make_pair(std::string("error: contacts: no access to the address book (not asked yet)\n"), 1));
}

TEST_F(HostScreens, WaitsAndTapsAgainInRealTimeUntilWhatIsNeededArrived)
{
    auto run = host_test::runScript("clock real\nopen late\ntap title Province until title 广东省\ntimeout 0.3\n"
                                    "tap title Toast until title Never\nclock virtual\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(foundation::clock::isVirtual()) << "clock virtual froze the clock again";
    ASSERT_NE(late, nullptr);
    EXPECT_TRUE(late->shown);
    EXPECT_EQ(late->listTaps, 2) << "the first tap asked for the list, the second showed it: " << run.output;
    EXPECT_TRUE(contains(run.output, "error: tap title Toast until title Never: nothing such appeared within 0.3 s"))
        << run.output;
    EXPECT_EQ(host_test::count(run.output, "error: "), 1u) << run.output;
}

TEST_F(HostScreens, HudTextIsFoundOnlyInAHudAndStaysUntilVirtualTimeMoves)
{
    auto run = host_test::runScript("open late\ntimeout 0.2\nwaitfor hud Toast\ntap title Toast\nwaitfor hud 导入成功\n"
                                    "advance 0.5\nwaitfor hud 导入成功\nadvance 1\nadvance 1\nwaitfor hud 导入成功\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.output, "error: waitfor hud Toast: nothing such appeared")) << "a button is not a HUD: " << run.output;
    EXPECT_EQ(host_test::count(run.output, "error: waitfor hud 导入成功"), 1u)
        << "shown, still up after 0.5 s, faded and gone after 2.5 s: " << run.output;
}

} // namespace
