// What a person does beyond tapping and typing, through the driver: picking a picture, the
// album, scrolling, the copy menu, a remote notification, an incoming URL, and leaving the app.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/QuillmarkAppDelegate.h"
#include "host/ScreenRegistry.h"
#include "host/tests/HostRun.h"
#include "image/WIImageCache.h"
#include "platform/graphics/UIImage.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/PhotoAlbum.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIMenuController.h"
#include "platform/uikit/UITableView.h"
#include "push/Client/PUSHClientController.h"
#include "push/Network/PUSHThread.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"

namespace {

using host_test::contains;

// A label that offers Copy, as a copyable label does: a tap makes it first responder and shows
// the edit menu.
class CopyableLabel : public UILabel {
public:
    using UILabel::UILabel;
    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(const std::string& action, const NSObjectRef&) const override { return action == "copy:"; }
    void copy(const NSObjectRef&) override { UIPasteboard::generalPasteboard()->setString(text()); }
};

// A screen with a picture chooser, a tall scroll view and a copyable label.
class PersonScreen : public UIViewController, public UIImagePickerControllerDelegate {
public:
    std::string className() const override { return "PersonScreen"; }
    void viewDidLoad() override
    {
        view()->setBackgroundColor(UIColor::whiteColor());
        auto choose = UIButton::buttonWithType(UIButtonTypeSystem);
        choose->setFrame({ { 20, 70 }, { 280, 40 } });
        choose->setTitle("Choose", UIControlStateNormal);
        choose->addTarget(sharedAs<PersonScreen>(), &PersonScreen::choose, UIControlEventTouchUpInside);
        view()->addSubview(choose);

        auto label = std::make_shared<CopyableLabel>(CGRect { { 20, 120 }, { 280, 30 } });
        label->setText("device-1234");
        label->setUserInteractionEnabled(true);
        std::weak_ptr<CopyableLabel> weak = label;
        label->addGestureRecognizer(UITapGestureRecognizer::create([weak](const std::shared_ptr<UIGestureRecognizer>&) {
            if (auto self = weak.lock()) {
                self->becomeFirstResponder();
                UIMenuController::sharedMenuController()->setTargetRect(self->frame(), self->superview());
                UIMenuController::sharedMenuController()->setMenuVisible(true);
            }
        }));
        view()->addSubview(label);

        scroll = UIScrollView::create({ { 0, 200 }, { 320, 300 } });
        scroll->setContentSize({ 320, 1000 });
        auto bottom = UILabel::create({ { 20, 900 }, { 280, 30 } });
        bottom->setText("Far below");
        scroll->addSubview(bottom);
        view()->addSubview(scroll);
    }
    void imagePickerControllerDidFinishPickingMediaWithInfo(const std::shared_ptr<UIImagePickerController>& picker, const Value& info) override
    {
        auto image = std::dynamic_pointer_cast<UIImage>(info[UIImagePickerControllerOriginalImage].asObject());
        picked = image ? image->size() : CGSize {};
        picker->dismissViewControllerAnimated(false);
    }
    std::shared_ptr<UIScrollView> scroll;
    CGSize picked {};

private:
    void choose()
    {
        auto picker = UIImagePickerController::create();
        picker->setDelegate(sharedAs<PersonScreen>());
        presentViewController(picker, false);
    }
};

// A table of 100 rows, "Row 0" to "Row 99", made as they come into view.
class RowsScreen : public UIViewController, public UITableViewDataSource {
public:
    std::string className() const override { return "RowsScreen"; }
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

// Records what the system tells the application.
class RecordingDelegate : public host::QuillmarkAppDelegate {
public:
    std::string className() const override { return "RecordingDelegate"; }
    void applicationDidEnterBackground(const App&) override { events().push_back("background"); }
    void applicationWillEnterForeground(const App&) override { events().push_back("foreground"); }
    void applicationWillTerminate(const App&) override { events().push_back("terminate"); }
    void applicationDidReceiveRemoteNotificationFetchCompletionHandler(const App& app, const Value& userInfo,
        std::function<void(UIBackgroundFetchResult)> completion) override
    {
        events().push_back("notification " + userInfo["aps"]["alert"].stringValue() + " state "
            + std::to_string(app->applicationState()));
        completion(UIBackgroundFetchResultNewData);
    }
    bool applicationOpenURLSourceApplicationAnnotation(const App&, const NSURL& url, const std::string&, const Value&) override
    {
        events().push_back("url " + url.absoluteString());
        return url.scheme() == "qm";
    }
    static std::vector<std::string>& events()
    {
        static std::vector<std::string> list;
        return list;
    }
};

class HostPerson : public ::testing::Test {
protected:
    void SetUp() override
    {
        RecordingDelegate::events().clear();
        uikit::album::reset();
        uikit::imagePicker::reset();
        UIMenuController::sharedMenuController()->reset();
        UIPasteboard::generalPasteboard()->clear();
        host::registerScreen("person", [this] {
            screen = std::make_shared<PersonScreen>();
            return screen;
        });
        host::registerScreen("rows", [] { return std::make_shared<RowsScreen>(); });
        picture = home.pathFor("picture.png");
        UIGraphicsBeginImageContextWithOptions({ 30, 20 }, true, 1);
        Bytes png = UIImagePNGRepresentation(UIGraphicsGetImageFromCurrentImageContext());
        UIGraphicsEndImageContext();
        std::ofstream(picture, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    }
    void TearDown() override
    {
        host::clearScreens();
        uikit::dismissAllAlerts(false);
        uikit::imagePicker::reset();
        uikit::album::reset();
    }
    testing_support::VirtualTime time;
    testing_support::TempHome home;
    std::shared_ptr<PersonScreen> screen;
    std::string picture;
};

TEST_F(HostPerson, PicksAPictureFileAndFillsTheAlbum)
{
    auto run = host_test::runScript<RecordingDelegate>("pick " + picture + "\n"
        "open person\n"
        "tap title Choose\n"
        "pick " + home.pathFor("missing.png") + "\n"
        "pick " + picture + "\n"
        "pick cancel\n"
        "album add " + picture + "\n"
        "album add " + home.pathFor("missing.png") + "\n"
        "waitfor album 1\n"
        "album\n");
    EXPECT_EQ(run.status, 1);
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(CGSizeEqualToSize(screen->picked, { 30, 20 })) << run.output;
    EXPECT_EQ(uikit::imagePicker::topPicker() && uikit::imagePicker::topPicker()->isOnScreen(), false);
    EXPECT_TRUE(contains(run.output, "error: pick " + picture + ": no image picker on screen")) << run.output;
    EXPECT_TRUE(contains(run.output, "missing.png: not a picture")) << run.output;
    EXPECT_TRUE(contains(run.output, "error: pick cancel: no image picker on screen")) << "the pick dismissed it";
    EXPECT_TRUE(contains(run.output, "album: 1\n  picture.png\n")) << run.output;
}

TEST_F(HostPerson, TheLibraryShowsTheAlbumAndATapOnAPicturePicksIt)
{
    auto run = host_test::runScript<RecordingDelegate>("album add " + picture + "\n"
        "open person\n"
        "tap title Choose\n"
        "tap point 40 108\n");
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(CGSizeEqualToSize(screen->picked, { 30, 20 })) << "the first thumbnail, top left: " << run.output;
    EXPECT_EQ(run.status, 0) << run.output;
}

TEST_F(HostPerson, ScrollsByADragAndUntilATitleIsInSight)
{
    auto run = host_test::runScript<RecordingDelegate>("open person\n"
                                                       "scroll by 0 300 at 160 300\n"
                                                       "echo mark\n"
                                                       "scroll by 0 -900 at 160 300\n"
                                                       "scroll by 0 50 at 160 20\n"
                                                       "scroll title Far below\n"
                                                       "tap title Far below\n"
                                                       "scroll sideways\n");
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(contains(run.output, "error: scroll by 0 50 at 160 20: no scroll view there")) << run.output;
    EXPECT_TRUE(contains(run.output, "error: scroll sideways: expected by <dx> <dy> [at <x> <y>] or title <text>"));
    EXPECT_FALSE(contains(run.output, "error: tap title Far below")) << run.output;
    EXPECT_FALSE(contains(run.output, "error: scroll title")) << run.output;
    EXPECT_NEAR(screen->scroll->contentOffset().y, 630, 1) << "the label's bottom at the scroll view's bottom edge";

    auto rows = host_test::runScript<RecordingDelegate>("open rows\n"
                                                        "tap title Row 80\n"
                                                        "scroll title Row 80\n"
                                                        "tap title Row 80\n"
                                                        "scroll title Row 3\n"
                                                        "tap title Row 3\n"
                                                        "scroll title Row 100\n");
    EXPECT_TRUE(contains(rows.output, "error: tap title Row 80: no such view on screen")) << "not made before the scroll";
    EXPECT_EQ(contains(rows.output, "error: tap title Row 80"), true);
    EXPECT_FALSE(contains(rows.output, "error: scroll title Row 80")) << rows.output;
    EXPECT_FALSE(contains(rows.output, "error: scroll title Row 3")) << "found again from the top: " << rows.output;
    EXPECT_TRUE(contains(rows.output, "error: scroll title Row 100: no view shows that text, down to the end of the content"))
        << rows.output;
}

TEST_F(HostPerson, CopyMenuCopiesToThePasteboard)
{
    auto run = host_test::runScript<RecordingDelegate>("open person\n"
                                                       "menu copy\n"
                                                       "tap title device-1234\n"
                                                       "menu paste\n"
                                                       "menu copy\n"
                                                       "pasteboard\n"
                                                       "menu copy\n");
    EXPECT_TRUE(contains(run.output, "error: menu copy: no edit menu on screen")) << run.output;
    EXPECT_TRUE(contains(run.output, "error: menu paste: the edit menu offers copy")) << run.output;
    EXPECT_TRUE(contains(run.output, "pasteboard: device-1234\n")) << run.output;
    EXPECT_FALSE(UIMenuController::sharedMenuController()->isMenuVisible()) << "choosing a command hides the menu";
    std::size_t misses = 0;
    for (auto at = run.output.find("no edit menu on screen"); at != std::string::npos; at = run.output.find("no edit menu on screen", at + 1))
        ++misses;
    EXPECT_EQ(misses, 2u) << "before the tap, and after the menu hid: " << run.output;
}

TEST_F(HostPerson, NotificationsAndURLsArriveAsTheSystemDeliversThem)
{
    auto run = host_test::runScript<RecordingDelegate>(R"(notify {"aps":{"alert":"front"}}
notify opened {"aps":{"alert":"outside"}}
notify [1]
openurl qm://open/thing
openurl other://x
openurl not a url
)");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.output, "error: notify [1]: expected a JSON object")) << run.output;
    EXPECT_TRUE(contains(run.output, "openurl: handled\nopenurl: not handled\n")) << run.output;
    EXPECT_TRUE(contains(run.output, "error: openurl not a url: expected a URL with a scheme")) << run.output;
    auto& events = RecordingDelegate::events();
    std::vector<std::string> expected { "notification front state 0", "background", "notification outside state 1",
        "foreground", "url qm://open/thing", "url other://x", "background", "terminate" };
    EXPECT_EQ(events, expected);
}

// The mend: quitting the host leaves the app as a person leaves it, so that what the app does on
// the way out (the image cache's disk clean-up) happens.
TEST_F(HostPerson, QuittingEntersTheBackgroundThenTerminatesAndTheDiskCacheCleans)
{
    auto cache = WIImageCache::initWithNamespace("quit", home.pathFor("Library/Caches"));
    cache->setMaxCacheAge(60);
    std::filesystem::create_directories(cache->diskCachePath());
    std::string stale = cache->diskCachePath() + "/stale";
    std::ofstream(stale) << "old picture";
    // A day before the tests' virtual now (2024-01-01).
    std::filesystem::last_write_time(
        stale, std::filesystem::file_time_type::clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1704067200 - 86400))));

    std::vector<std::string> posted;
    auto center = NSNotificationCenter::defaultCenter();
    std::vector<NSObjectRef> tokens;
    for (const auto& name : { UIApplicationDidEnterBackgroundNotification, UIApplicationWillTerminateNotification })
        tokens.push_back(center->addObserverForName(name, nullptr, nullptr,
            [&posted](const std::shared_ptr<NSNotification>& note) { posted.push_back(note->name()); }));
    auto run = host_test::runScript<RecordingDelegate>("echo leaving\nquit\necho never\n");
    for (auto& token : tokens)
        center->removeObserver(token.get());

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(RecordingDelegate::events(), (std::vector<std::string> { "background", "terminate" }));
    EXPECT_EQ(posted, (std::vector<std::string> { UIApplicationDidEnterBackgroundNotification, UIApplicationWillTerminateNotification }));
    EXPECT_FALSE(std::filesystem::exists(stale)) << "the background clean-up ran before the host ended";
    EXPECT_EQ(UIApplication::sharedApplication()->backgroundTaskCount(), 0u);
}

} // namespace

namespace {

// The push client saves its state on its own thread when the app is told it will terminate; the
// host waits for that before it ends the process.
TEST_F(HostPerson, QuittingWaitsForWhatThePushThreadWasAskedToDo)
{
    auto thread = PUSHThread::builder(1)->setThreadName(kPUSHClientThreadName)->build();
    ASSERT_TRUE(PUSHThreadController::shareThreadInstance()->addThread(thread));
    auto saved = std::make_shared<std::atomic<bool>>(false);
    auto center = NSNotificationCenter::defaultCenter();
    auto token = center->addObserverForName(UIApplicationWillTerminateNotification, nullptr, nullptr,
        [thread, saved](const std::shared_ptr<NSNotification>&) {
            thread->invokeBlock([saved] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                *saved = true;
            });
        });
    auto run = host_test::runScript<RecordingDelegate>("quit\n");
    center->removeObserver(token.get());
    EXPECT_TRUE(saved->load()) << "the host ended before the push thread had saved";
    PUSHThreadController::shareThreadInstance()->deleteThread(kPUSHClientThreadName);
}

} // namespace
