// A fixture for the lead import and QR-code screens: the window fixture (WindowTest) with
// address-book access granted, and helpers that act as a user would: tap buttons, choose picker
// rows, answer alerts, and read HUD texts and the address-book file.
#pragma once

#include <sqlite3.h>

#include <string>
#include <utility>
#include <vector>

#include "app/prospecting/RQAddFirendController.h"
#include "app/tests/ServerTestSupport.h"
#include "platform/addressbook/ABTestSeams.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIImageView.h"

namespace app::test {

class ScreenTest : public WindowTest {
protected:
    ScreenTest()
    {
        addressbook::resetTestSeams();
        addressbook::setAuthorizationStatus(kABAuthorizationStatusAuthorized);
    }

    // Pushes the screen and waits for its province list.
    template <class Screen>
    std::shared_ptr<Screen> open()
    {
        auto screen = Screen::create();
        navigation->pushViewController(screen, false);
        EXPECT_TRUE(waitFor([&] { return server().requests("district/listSubDistrict.do").size() == 1; }));
        EXPECT_TRUE(waitFor([&] { return screen->shengList().isArray(); }));
        layout(screen);
        return screen;
    }
    template <class Screen>
    static std::shared_ptr<Screen> layout(const std::shared_ptr<Screen>& screen)
    {
        screen->mytableView()->layoutIfNeeded();
        return screen;
    }
    static void tap(const std::shared_ptr<UIButton>& button)
    {
        ASSERT_TRUE(button);
        button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    }
    // Whether a touch at the view's centre reaches it (or a view inside it) rather than a view
    // over it, such as the navigation bar.
    bool touchAtCentreReaches(const std::shared_ptr<UIView>& view)
    {
        CGRect frame = view->convertRectToView(view->bounds(), nullptr);
        auto hit = window->hitTest({ CGRectGetMidX(frame), CGRectGetMidY(frame) });
        return hit && hit->isDescendantOfView(view.get());
    }

    // The texts of the HUDs on the view, oldest first.
    static std::vector<std::string> hudTexts(const std::shared_ptr<UIView>& view)
    {
        std::vector<std::string> texts;
        for (const auto& hud : PGProgressHUD::allHUDsForView(view))
            texts.push_back(hud->labelText());
        return texts;
    }
    // The icon of the newest HUD on the view (none when it has no picture).
    static UIImageRef lastHudIcon(const std::shared_ptr<UIView>& view)
    {
        auto huds = PGProgressHUD::allHUDsForView(view);
        auto icon = huds.empty() ? nullptr : std::dynamic_pointer_cast<UIImageView>(huds.back()->customView());
        return icon ? icon->image() : nullptr;
    }
    // Lets the HUDs on screen hide: the hide timer first, then the fade-out it starts.
    void clearHuds()
    {
        for (int step = 0; step < 2; ++step) {
            time.advance(1);
            testing_support::settle(2);
        }
    }

    // Chooses row `row` of an open picker.
    static void choose(const std::shared_ptr<YDMoreStytleView>& picker, NSInteger row)
    {
        ASSERT_TRUE(picker);
        picker->mytableView()->layoutIfNeeded();
        picker->mytableView()->userSelectRowAtIndexPath({ 0, row });
    }
    // Province then city, by row.
    void pickRegion(const std::shared_ptr<RQAddFirendController>& screen, NSInteger province, NSInteger city)
    {
        tap(screen->shengBtn());
        choose(screen->listShu(), province);
        auto before = server().requests("district/listSubDistrict.do").size();
        tap(screen->shiBtn());
        ASSERT_TRUE(waitFor([&] { return screen->listType() != nullptr; }));
        EXPECT_EQ(server().requests("district/listSubDistrict.do").size(), before + 1);
        choose(screen->listType(), city);
    }
    // Taps paging button `button` (first, previous, next, last; -1 for "获取号码") with the size
    // field reading `size`.
    static void tapPage(const std::shared_ptr<RQAddFirendController>& screen, int button, const std::string& size = "20")
    {
        layout(screen);
        screen->pageCounts()->setText(size);
        tap(button < 0 ? screen->fetchButton() : screen->pagingButtons()[static_cast<std::size_t>(button)]);
    }
    static void tapFetch(const std::shared_ptr<RQAddFirendController>& screen, const std::string& size = "20") { tapPage(screen, -1, size); }
    // Fetches a page and waits until its numbers are listed.
    void fetchNumbers(const std::shared_ptr<RQAddFirendController>& screen, std::size_t expected, const std::string& size = "20")
    {
        auto before = server().requests("data/listPhone.do").size();
        tapFetch(screen, size);
        ASSERT_TRUE(waitFor([&] { return server().requests("data/listPhone.do").size() == before + 1; }));
        ASSERT_TRUE(waitFor([&] { return screen->listArray().size() == expected && loggedContaining("listItems"); }));
        clearLog();
        layout(screen);
    }
    dataserver::RecordedRequest lastPhoneRequest() { return server().requests("data/listPhone.do").back(); }
    // Waits until `path` has had `count` requests and a reply holding "status" was logged.
    bool answered(const std::string& path, std::size_t count)
    {
        return waitFor([&] { return server().requests(path).size() >= count && loggedContaining("status"); });
    }

    // Taps a top-bar button and answers its alert with the button of that title.
    template <class Screen>
    static void tapAndAnswer(const std::shared_ptr<Screen>& screen, int button, const std::string& answer)
    {
        tap(screen->buttonArray()[static_cast<std::size_t>(button)]);
        auto alert = topAlert();
        ASSERT_TRUE(alert);
        ASSERT_TRUE(alert->tapButtonAtIndex(alert->indexOfButtonWithTitle(answer)));
    }
    static std::shared_ptr<UIAlertView> topAlert() { return std::dynamic_pointer_cast<UIAlertView>(uikit::topAlert()); }

    // The address-book file: (first name, mobile number) of every person.
    std::vector<std::pair<std::string, std::string>> storedPeople()
    {
        std::vector<std::pair<std::string, std::string>> people;
        sqlite3* db = nullptr;
        sqlite3_stmt* statement = nullptr;
        auto path = home_.pathFor("Library/AddressBook/AddressBook.sqlite");
        const char* sql
            = "SELECT coalesce(p.first, ''), coalesce(f.value, '') FROM people p LEFT JOIN phones f ON f.person = p.id ORDER BY p.id";
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
            && sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
            auto text = [&](int column) { return std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, column))); };
            while (sqlite3_step(statement) == SQLITE_ROW)
                people.emplace_back(text(0), text(1));
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return people;
    }
    std::vector<std::string> storedFanNumbers()
    {
        std::vector<std::string> numbers;
        for (const auto& [first, phone] : storedPeople()) {
            if (first == "粉丝")
                numbers.push_back(phone);
        }
        return numbers;
    }
    static std::vector<std::string> numbersOf(const std::shared_ptr<RQAddFirendController>& screen)
    {
        std::vector<std::string> numbers;
        for (const auto& record : screen->listArray())
            numbers.push_back(prospecting::displayText(record->phoneName()));
        return numbers;
    }
};

} // namespace app::test
