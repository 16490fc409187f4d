// The desktop window under a virtual X display (Xvfb): a click at a tile's position opens its
// screen, and the window shows exactly what a snapshot shows. Skipped where there is no Xvfb.
#include "app/shell/tests/ShellTestSupport.h"

#include <SDL.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "app/prospecting/RQAddFirendController.h"
#include "app/shell/RQClassCell.h"
#include "host/window/HostWindow.h"

namespace {

std::string findInPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string all = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find(':', start);
        std::string dir = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
        auto candidate = std::filesystem::path(dir.empty() ? "." : dir) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return "";
}

// An Xvfb display of its own for the test's life.
class VirtualDisplay {
public:
    bool start(const std::string& xvfb)
    {
        for (int number = 90 + static_cast<int>(::getpid() % 100); number < 400; number += 7) {
            std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
            if (std::filesystem::exists(socket) || std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"))
                continue;
            std::string display = ":" + std::to_string(number);
            pid_ = ::fork();
            if (pid_ == 0) {
                ::execl(xvfb.c_str(), "Xvfb", display.c_str(), "-screen", "0", "800x1200x24", "-nolisten", "tcp",
                    static_cast<char*>(nullptr));
                ::_exit(127);
            }
            for (int i = 0; i < 200 && !std::filesystem::exists(socket); ++i) {
                if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                    pid_ = -1;
                    break;
                }
                ::usleep(50000);
            }
            if (pid_ > 0 && std::filesystem::exists(socket)) {
                ::setenv("DISPLAY", display.c_str(), 1);
                return true;
            }
            stop();
        }
        return false;
    }
    void stop()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    ~VirtualDisplay() { stop(); }

private:
    pid_t pid_ = -1;
};

class HostWindowTest : public shell_test::ShellTest {
protected:
    void SetUp() override
    {
        std::string xvfb = findInPath("Xvfb");
        if (xvfb.empty())
            GTEST_SKIP() << "no Xvfb here (scripts/setup installs it)";
        ASSERT_TRUE(display.start(xvfb)) << "Xvfb did not start";
        ::setenv("SDL_VIDEODRIVER", "x11", 1);
    }
    void click(host::HostWindow& window, CGPoint point)
    {
        for (auto type : { SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP }) {
            SDL_Event event {};
            event.type = type;
            event.button.windowID = window.windowId();
            event.button.button = SDL_BUTTON_LEFT;
            event.button.x = static_cast<int>(point.x * window.scale());
            event.button.y = static_cast<int>(point.y * window.scale());
            SDL_PushEvent(&event);
        }
        window.step();
    }
    VirtualDisplay display;
};

using host::HostWindow;

TEST_F(HostWindowTest, AClickOnATileOpensItsScreenAndTheWindowShowsTheSnapshot)
{
    launch();
    ASSERT_TRUE(waitFor([&] { return home() && captions().size() >= 5; }));
    std::string why;
    auto window = HostWindow::open(why);
    ASSERT_NE(window, nullptr) << why;
    auto screen = UIScreen::mainScreen();
    EXPECT_EQ(window->pixelWidth(), static_cast<int>(screen->bounds().size.width * screen->scale()));
    EXPECT_EQ(window->pixelHeight(), static_cast<int>(screen->bounds().size.height * screen->scale()));

    auto grid = home()->collectionView();
    std::shared_ptr<UIView> tile;
    for (const auto& path : grid->indexPathsForVisibleItems()) {
        auto cell = std::dynamic_pointer_cast<RQClassCell>(grid->cellForItemAtIndexPath(path));
        if (cell && cell->tileLabel()->text() == "加粉")
            tile = cell;
    }
    ASSERT_NE(tile, nullptr);
    CGRect frame = tile->convertRectToView(tile->bounds(), nullptr);
    click(*window, { CGRectGetMidX(frame), CGRectGetMidY(frame) });
    EXPECT_TRUE(std::dynamic_pointer_cast<RQAddFirendController>(top())) << "the click opened the lead import screen";

    window->draw();
    int width = 0, height = 0;
    auto snapshot = host::screenPixels(width, height);
    auto shown = window->pixels();
    ASSERT_EQ(width, window->pixelWidth());
    ASSERT_EQ(shown.size(), snapshot.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < shown.size(); ++i)
        differing += shown[i] != snapshot[i];
    EXPECT_EQ(differing, 0u);
    std::set<std::uint32_t> colours(shown.begin(), shown.end());
    EXPECT_GT(colours.size(), 10u) << "the window shows the screen, not a blank";
}

} // namespace
