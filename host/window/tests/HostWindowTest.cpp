// The desktop window under a virtual X display (Xvfb): a click at a tile's position opens its
// screen, and the window shows exactly what a snapshot shows; on a display lower than the
// screen it is scaled down to fit, clicks mapped back. Skipped where there is no Xvfb.
#include "app/shell/tests/ShellTestSupport.h"

#include <SDL.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "app/prospecting/RQAddFirendController.h"
#include "app/shell/RQClassCell.h"
#include "host/window/Fit.h"
#include "host/window/HostWindow.h"

namespace {

// An Xvfb display of its own for the test's life: Xvfb picks a free number and prints it once
// it accepts connections (the shell's pid, printed first, becomes Xvfb's by the exec). It does not
// reset when its last client goes, so a display closed and opened again finds it ready.
class VirtualDisplay {
public:
    // ":<n>", or empty when Xvfb is not there (then `found` is false) or did not start.
    std::string start(const std::string& size)
    {
        std::string command = "command -v Xvfb >/dev/null || exit 0; echo $$; exec Xvfb -noreset -displayfd 1 -screen 0 " + size
            + "x24 -nolisten tcp 2>/dev/null";
        out_ = ::popen(command.c_str(), "r");
        char pid[32] = "", number[32] = "";
        if (!out_ || !std::fgets(pid, sizeof pid, out_))
            return "";
        found = true;
        pid_ = std::atoi(pid);
        if (!std::fgets(number, sizeof number, out_))
            return "";
        return ":" + std::string(number, std::strcspn(number, "\n"));
    }
    bool found = false;
    ~VirtualDisplay()
    {
        if (pid_ > 0)
            ::kill(pid_, SIGTERM);
        if (out_)
            ::pclose(out_);
    }

private:
    FILE* out_ = nullptr;
    pid_t pid_ = -1;
};

class HostWindowTest : public shell_test::ShellTest {
protected:
    // The virtual display's size.
    virtual std::string displaySize() const { return "800x1200"; }
    void SetUp() override
    {
        std::string name = display.start(displaySize());
        if (!display.found)
            GTEST_SKIP() << "no Xvfb here (scripts/setup installs it)";
        ASSERT_FALSE(name.empty()) << "Xvfb did not start";
        ::setenv("DISPLAY", name.c_str(), 1);
        ::setenv("SDL_VIDEODRIVER", "x11", 1);
        // The virtual display has no graphics card: the window's pixels go to it directly, and SDL
        // does not load a GL driver to ask whether one would be faster (the driver, unloaded before
        // the process ends, leaves allocations the leak checker can no longer name).
        ::setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    }
    VirtualDisplay display;

    // Clicks in the middle of the home tile captioned `caption`, where the window shows it.
    void clickTile(host::HostWindow& window, const std::string& caption)
    {
        std::shared_ptr<UIView> tile;
        for (const auto& path : home()->collectionView()->indexPathsForVisibleItems()) {
            auto cell = std::dynamic_pointer_cast<RQClassCell>(home()->collectionView()->cellForItemAtIndexPath(path));
            if (cell && cell->tileLabel()->text() == caption)
                tile = cell;
        }
        ASSERT_NE(tile, nullptr);
        CGRect frame = tile->convertRectToView(tile->bounds(), nullptr);
        for (auto type : { SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP }) {
            SDL_Event event {};
            event.button = { .type = static_cast<Uint32>(type), .timestamp = 0, .windowID = window.windowId(), .which = 0,
                .button = SDL_BUTTON_LEFT, .state = 0, .clicks = 0, .padding1 = 0,
                .x = static_cast<int>(CGRectGetMidX(frame) * window.scale()), .y = static_cast<int>(CGRectGetMidY(frame) * window.scale()) };
            SDL_PushEvent(&event);
        }
        window.step();
    }
};

TEST_F(HostWindowTest, AClickOnATileOpensItsScreenAndTheWindowShowsTheSnapshot)
{
    launch();
    ASSERT_TRUE(waitFor([&] { return home() && captions().size() >= 5; }));
    std::string why;
    EXPECT_TRUE(host::HostWindow::displayAvailable(why)) << why;
    auto window = host::HostWindow::open(why);
    ASSERT_NE(window, nullptr) << why;
    EXPECT_EQ(window->pixelHeight(), 1136) << "the display has room for the whole screen";

    clickTile(*window, "加粉");
    EXPECT_TRUE(std::dynamic_pointer_cast<RQAddFirendController>(top())) << "the click opened the lead import screen";

    window->draw();
    int width = 0, height = 0;
    auto shown = window->pixels();
    EXPECT_EQ(shown, host::screenPixels(width, height)) << "the window shows what a snapshot shows";
    EXPECT_EQ(width, window->pixelWidth());
    EXPECT_EQ(height, window->pixelHeight());
    EXPECT_GT(std::set<std::uint32_t>(shown.begin(), shown.end()).size(), 10u) << "the window shows the screen, not a blank";
}

class LowDisplayWindowTest : public HostWindowTest {
protected:
    std::string displaySize() const override { return "1024x768"; }
};

TEST_F(LowDisplayWindowTest, TheWindowIsScaledDownToFitAndClicksAreMappedBack)
{
    launch();
    ASSERT_TRUE(waitFor([&] { return home() && captions().size() >= 5; }));
    std::string why;
    auto window = host::HostWindow::open(why);
    ASSERT_NE(window, nullptr) << why;
    EXPECT_LE(window->pixelHeight(), 768 - 40) << "room is left for the title bar";
    EXPECT_GT(window->pixelHeight(), 600);
    EXPECT_NEAR(double(window->pixelWidth()) / window->pixelHeight(), 640.0 / 1136, 0.005) << "the shape is kept";
    int x = 0, y = 0;
    SDL_GetWindowPosition(SDL_GetWindowFromID(window->windowId()), &x, &y);
    EXPECT_GE(y, 0);
    EXPECT_LE(y + window->pixelHeight(), 768) << "the whole window is on the display";

    window->draw();
    int width = 0, height = 0;
    auto full = host::screenPixels(width, height);
    EXPECT_EQ(window->pixels(), host::resample(full, width, height, window->pixelWidth(), window->pixelHeight()));

    clickTile(*window, "加粉");
    EXPECT_TRUE(std::dynamic_pointer_cast<RQAddFirendController>(top())) << "the click reached the tile under it";
}

} // namespace
