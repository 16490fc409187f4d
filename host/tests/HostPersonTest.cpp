// What a person does beyond tapping and typing, through the driver: picking a picture, the
// album, scrolling, a remote notification, an incoming URL, and leaving the app;
// and through the window: the mouse as a finger (taps, long presses, drags) and push messages
// relayed to the app as remote notifications.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/NotificationRelay.h"
#include "host/Pointer.h"
#include "host/tests/HostRun.h"
#include "image/WIImageCache.h"
#include "platform/graphics/UIImage.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/PhotoAlbum.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableView.h"
#include "push/Client/PUSHClientController.h"
#include "push/Client/PUSHMessageCenter.h"
#include "push/Network/PUSHThread.h"

namespace {

using host_test::addButton;
using host_test::contains;

// "Tap me" counts taps; the picture below counts long presses; the tall scroll view's content
// ends with "Far below"; "Choose" presents the image picker and keeps the size of the picture.
class PersonScreen : public UIViewController, public UIImagePickerControllerDelegate {
public:
    void viewDidLoad() override
    {
        view()->setBackgroundColor(UIColor::whiteColor());
        addButton(*this, "Tap me", { { 20, 70 }, { 280, 40 } }, &PersonScreen::tapped);
        auto picture = UIImageView::create({ { 20, 150 }, { 280, 45 } });
        picture->setUserInteractionEnabled(true);
        std::weak_ptr<PersonScreen> screen = sharedAs<PersonScreen>();
        picture->addGestureRecognizer(UILongPressGestureRecognizer::create([screen](const std::shared_ptr<UIGestureRecognizer>& r) {
            if (auto self = screen.lock(); self && r->state() == UIGestureRecognizerStateBegan)
                ++self->longPresses;
        }));
        view()->addSubview(picture);

        scroll = UIScrollView::create({ { 0, 200 }, { 320, 300 } });
        scroll->setContentSize({ 320, 1000 });
        auto bottom = UILabel::create({ { 20, 900 }, { 280, 30 } });
        bottom->setText("Far below");
        scroll->addSubview(bottom);
        view()->addSubview(scroll);
        addButton(*this, "Choose", { { 20, 538 }, { 280, 28 } }, &PersonScreen::choose);
    }
    void imagePickerControllerDidFinishPickingMediaWithInfo(const std::shared_ptr<UIImagePickerController>& picker, const Value& info) override
    {
        auto image = std::dynamic_pointer_cast<UIImage>(info[UIImagePickerControllerOriginalImage].asObject());
        picked = image ? image->size() : CGSize {};
        picker->dismissViewControllerAnimated(false);
    }
    std::shared_ptr<UIScrollView> scroll;
    CGSize picked {};
    int taps = 0;
    int longPresses = 0;

private:
    void tapped() { ++taps; }
    void choose()
    {
        auto picker = UIImagePickerController::create();
        picker->setDelegate(sharedAs<PersonScreen>());
        presentViewController(picker, false);
    }
};

// What the system told the application, in order.
std::vector<std::string> events;

class RecordingDelegate : public host::QuillmarkAppDelegate {
public:
    void applicationDidEnterBackground(const App&) override { events.push_back("background"); }
    void applicationWillEnterForeground(const App&) override { events.push_back("foreground"); }
    void applicationWillTerminate(const App&) override { events.push_back("terminate"); }
    void applicationDidReceiveRemoteNotificationFetchCompletionHandler(const App& app, const Value& userInfo,
        std::function<void(UIBackgroundFetchResult)> completion) override
    {
        events.push_back("notification " + userInfo["aps"]["alert"].stringValue() + " state "
            + std::to_string(app->applicationState()));
        completion(UIBackgroundFetchResultNewData);
    }
    bool applicationOpenURLSourceApplicationAnnotation(const App&, const NSURL& url, const std::string&, const Value&) override
    {
        events.push_back("url " + url.absoluteString());
        return url.scheme() == "qm";
    }
};

// A table of 100 rows, "Row 0" to "Row 99", made as they come into view.
class RowsScreen : public UIViewController, public UITableViewDataSource {
public:
    void viewDidLoad() override
    {
        auto table = std::make_shared<UITableView>(CGRect { { 0, 64 }, { 320, 504 } });
        table->setDataSource(sharedAs<RowsScreen>());
        view()->addSubview(table);
    }
    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger) override { return 100; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath path) override
    {
        auto cell = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "row");
        cell->textLabel()->setText("Row " + std::to_string(path.row));
        return cell;
    }
};

class HostPerson : public host_test::HostTest {
protected:
    void SetUp() override
    {
        events.clear();
        uikit::album::reset();
        uikit::imagePicker::reset();
        host::registerScreen("person", [this] { return screen = std::make_shared<PersonScreen>(); });
        host::registerScreen("rows", [this] { return rows = std::make_shared<RowsScreen>(); });
        picture = home.pathFor("picture.png");
        UIGraphicsBeginImageContextWithOptions({ 30, 20 }, true, 1);
        graphics::writePngFile(UIGraphicsGetImageFromCurrentImageContext()->CGImage(), picture);
        UIGraphicsEndImageContext();
    }
    void TearDown() override
    {
        HostTest::TearDown();
        uikit::imagePicker::reset();
        uikit::album::reset();
    }
    host_test::Run run(const std::string& script) { return host_test::runScript<RecordingDelegate>(script); }
    std::shared_ptr<PersonScreen> screen;
    std::shared_ptr<RowsScreen> rows;
    std::string picture;
};

TEST_F(HostPerson, PicksAPictureFileAndFillsTheAlbum)
{
    auto result = run("pick " + picture + "\nopen person\ntap title Choose\npick " + home.pathFor("missing.png") + "\n"
        "pick " + picture + "\npick cancel\nalbum add " + picture + "\nalbum add " + home.pathFor("missing.png") + "\n"
        "waitfor album 1\nalbum\n");
    EXPECT_EQ(result.status, 1);
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(CGSizeEqualToSize(screen->picked, { 30, 20 })) << result.output;
    EXPECT_TRUE(contains(result.output, "error: pick " + picture + ": no image picker on screen")) << result.output;
    EXPECT_EQ(host_test::count(result.output, "missing.png: not a picture"), 2u) << result.output;
    EXPECT_TRUE(contains(result.output, "error: pick cancel: no image picker on screen")) << "the pick dismissed it";
    EXPECT_TRUE(contains(result.output, "album: 1\n  picture.png\n")) << result.output;

    // The picker's library shows the album; a tap on the first thumbnail, top left, picks it.
    screen->picked = {};
    result = run("open person\ntap title Choose\ntap point 40 108\n");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(CGSizeEqualToSize(screen->picked, { 30, 20 })) << result.output;
}

TEST_F(HostPerson, ScrollsByADragAndUntilATitleIsInSight)
{
    auto result = run("open person\nscroll by 0 300 at 160 300\nscroll by 0 -900 at 160 300\nscroll by 0 50 at 160 20\n"
                      "scroll title Far below\ntap title Far below\n");
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(contains(result.output, "error: scroll by 0 50 at 160 20: no scroll view there")) << result.output;
    EXPECT_EQ(host_test::count(result.output, "error: "), 1u) << result.output;
    EXPECT_NEAR(screen->scroll->contentOffset().y, 630, 1) << "the label's bottom at the scroll view's bottom edge";

    result = run("open rows\ntap title Row 80\nscroll title Row 80\ntap title Row 80\nscroll title Row 3\ntap title Row 3\n"
                 "scroll title Row 100\n");
    EXPECT_TRUE(contains(result.output, "error: tap title Row 80: no such view on screen")) << "not made before the scroll";
    EXPECT_TRUE(contains(result.output, "error: scroll title Row 100: no view shows that text, down to the end of the content"))
        << result.output;
    EXPECT_EQ(host_test::count(result.output, "error: "), 2u) << "Row 80, then Row 3 from the top, found: " << result.output;
}

TEST_F(HostPerson, NotificationsAndURLsArriveAsTheSystemDeliversThem)
{
    auto result = run("notify {\"aps\":{\"alert\":\"front\"}}\nnotify opened {\"aps\":{\"alert\":\"outside\"}}\n"
                      "openurl qm://open/thing\nopenurl other://x\n");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "openurl: handled\nopenurl: not handled\n")) << result.output;
    EXPECT_EQ(events, (std::vector<std::string> { "notification front state 0", "background",
                                               "notification outside state 1", "foreground", "url qm://open/thing",
                                               "url other://x", "background", "terminate" }));
}

// Quitting leaves the app as a person leaves it, so that what the app does on the way out (the
// image cache's disk clean-up, the push client's save on its own thread) is done before the
// host ends.
TEST_F(HostPerson, QuittingEntersTheBackgroundThenTerminatesAndWaitsForTheWorkItStarted)
{
    auto cache = WIImageCache::initWithNamespace("quit", home.pathFor("Library/Caches"));
    cache->setMaxCacheAge(60);
    std::filesystem::create_directories(cache->diskCachePath());
    std::string stale = cache->diskCachePath() + "/stale";
    std::ofstream(stale) << "old picture";
    // A day before the tests' virtual now (2024-01-01).
    std::filesystem::last_write_time(
        stale, std::filesystem::file_time_type::clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1704067200 - 86400))));

    auto thread = PUSHThread::builder(1)->setThreadName(kPUSHClientThreadName)->build();
    ASSERT_TRUE(PUSHThreadController::shareThreadInstance()->addThread(thread));
    auto saved = std::make_shared<std::atomic<bool>>(false);
    std::vector<std::string> posted;
    auto center = NSNotificationCenter::defaultCenter();
    std::vector<NSObjectRef> tokens;
    for (const auto& name : { UIApplicationDidEnterBackgroundNotification, UIApplicationWillTerminateNotification })
        tokens.push_back(center->addObserverForName(name, nullptr, nullptr, [&posted, thread, saved](const std::shared_ptr<NSNotification>& note) {
            posted.push_back(note->name());
            if (note->name() == UIApplicationWillTerminateNotification)
                thread->invokeBlock([saved] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    *saved = true;
                });
        }));
    auto result = run("echo leaving\nquit\necho never\n");
    for (auto& token : tokens)
        center->removeObserver(token.get());
    PUSHThreadController::shareThreadInstance()->deleteThread(kPUSHClientThreadName);

    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(contains(result.output, "never"));
    EXPECT_EQ(events, (std::vector<std::string> { "background", "terminate" }));
    EXPECT_EQ(posted, (std::vector<std::string> { UIApplicationDidEnterBackgroundNotification, UIApplicationWillTerminateNotification }));
    EXPECT_FALSE(std::filesystem::exists(stale)) << "the background clean-up ran before the host ended";
    EXPECT_EQ(UIApplication::sharedApplication()->backgroundTaskCount(), 0u);
    EXPECT_TRUE(saved->load()) << "the host ended before the push thread had saved";
}

// Press, move, release or a tick of the clock with the button held, at a point and a time.
struct Event {
    char kind;
    double x, y, t;
};

TEST_F(HostPerson, MouseEventsBecomeTapsLongPressesAndDrags)
{
    run("open person\n");
    ASSERT_NE(screen, nullptr);
    struct Case {
        const char* name;
        std::vector<Event> events;
        int taps;
        int longPresses;
        double offsetY;
        double heldOffsetY; // after the last move, while the button is still down
    };
    const Case cases[] {
        { "a click is a tap", { { 'p', 160, 90, 0 }, { 'r', 161, 91, 0.1 } }, 1, 0, 0, 0 },
        { "a small wobble is still a tap", { { 'p', 160, 90, 0 }, { 'm', 164, 93, 0.05 }, { 'r', 164, 93, 0.1 } }, 1, 0, 0, 0 },
        { "a held press is one long press, made while held",
            { { 'p', 160, 170, 0 }, { 't', 160, 170, 0.6 }, { 't', 160, 170, 0.9 }, { 'r', 160, 170, 1.2 } }, 0, 1, 0, 0 },
        { "a long press seen only at the release", { { 'p', 160, 170, 0 }, { 'r', 160, 170, 0.7 } }, 0, 1, 0, 0 },
        { "a drag up scrolls the content down",
            { { 'p', 160, 450, 0 }, { 'm', 160, 350, 0.1 }, { 'm', 160, 250, 0.2 }, { 'r', 160, 250, 0.3 } }, 0, 0, 200, 200 },
        { "a drag beyond the top follows the pointer and comes back on release",
            { { 'p', 160, 300, 0 }, { 'm', 160, 380, 0.1 }, { 'r', 160, 380, 0.2 } }, 0, 0, 0, -80 },
        { "a drag that ends over the button taps nothing",
            { { 'p', 160, 300, 0 }, { 'm', 160, 90, 0.1 }, { 'r', 160, 90, 0.2 } }, 0, 0, 210, 210 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        screen->taps = screen->longPresses = 0;
        screen->scroll->setContentOffset({ 0, 0 });
        host::PointerGestures pointer;
        for (const auto& e : c.events) {
            CGPoint p { e.x, e.y };
            switch (e.kind) {
            case 'p': pointer.press(p, e.t); break;
            case 'm': pointer.move(p, e.t); break;
            case 'r':
                EXPECT_NEAR(screen->scroll->contentOffset().y, c.heldOffsetY, 0.5);
                EXPECT_EQ(screen->scroll->isDragging(), c.heldOffsetY != 0);
                pointer.release(p, e.t);
                break;
            case 't': pointer.tick(e.t); break;
            }
        }
        EXPECT_EQ(screen->taps, c.taps);
        EXPECT_EQ(screen->longPresses, c.longPresses);
        EXPECT_NEAR(screen->scroll->contentOffset().y, c.offsetY, 0.5);
        EXPECT_FALSE(screen->scroll->isDragging());
    }
}

TEST_F(HostPerson, PushMessagesWithANotificationPayloadReachTheAppAsRemoteNotifications)
{
    run("");
    events.clear();
    auto post = [](const Value& userInfo) {
        NSNotificationCenter::defaultCenter()->postNotificationName(kPUSHNetworkDidReceiveMessageNotification, nullptr, userInfo);
    };
    auto withAlert = [](const std::string& alert) {
        return Value::dictionary({ { "content", Value("c") },
            { "extras", Value::dictionary({ { "aps", Value::dictionary({ { "alert", Value(alert) } }) } }) } });
    };
    post(withAlert("before"));
    host::startNotificationRelay();
    host::startNotificationRelay();
    post(withAlert("relayed"));
    post(Value::dictionary({ { "content", Value("plain") } }));
    post(Value::dictionary({ { "extras", Value::dictionary({ { "aps", Value("not a dictionary") } }) } }));
    host::stopNotificationRelay();
    post(withAlert("after"));
    EXPECT_EQ(events, (std::vector<std::string> { "notification relayed state 2" })) << "the script left it in the background";
}

} // namespace
