// quillmark: runs the application headless, driven by a command script (the file named as the
// last argument) or by standard input. See host/Driver.h for the command language and
// host/usage.txt for the list --help prints.
//
//   quillmark [--open NAME] [--clock real|virtual] [--window [--scale F]] [script]
//
// The application starts as on a phone: AppDelegate builds the window with the home screen at the
// root of the navigation stack. --open pushes the screen registered as NAME on top of it at
// launch; --clock chooses how the platform clock runs (virtual, the default, moves only by
// "advance"; real follows the wall clock). A script stops at its first failing command unless it
// says "onerror go". Read from a terminal, the host prompts, acknowledges each command and goes
// on after errors. --window shows the screen in a desktop window once the script (if any) has
// run, with the clock real, until the window is closed; standard input is not read then. The
// window fits the display (--scale F: F times the screen's pixels instead); with no display to
// open it on, the host says so and ends before the app starts. A push message carrying a
// notification payload reaches the app as a remote notification (host/NotificationRelay.h).
// QUILLMARK_SYSTEM_VERSION sets the device's system version ("9.0" makes incoming URLs reach the
// app's options form).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "host/AppBundle.h"
#include "host/Driver.h"
#include "host/NotificationRelay.h"
#include "host/ScreenRegistry.h"
#include "host/SystemEvents.h"
#ifdef QM_HAVE_WINDOW
#include "host/window/HostWindow.h"
#endif

#include "app/JZAboutController.h"
#include "app/JZShouQuanController.h"
#include "app/RQWifiController.h"
#include "app/prospecting/RQAddFirendController.h"
#include "app/prospecting/RQContryController.h"
#include "app/prospecting/RQHengYeControlller.h"
#include "app/prospecting/RQHuFenController.h"
#include "app/prospecting/RQJingZhunJiaFenController.h"
#include "app/prospecting/RQQunListController.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/RQMainController.h"
#include "platform/uikit/UIScreen.h"

namespace {

void registerAppScreens()
{
    host::registerScreen("home", [] { return RQMainController::create(); });
    host::registerScreen("leads.region", [] { return RQAddFirendController::create(); });
    host::registerScreen("leads.precise", [] { return RQJingZhunJiaFenController::create(); });
    host::registerScreen("leads.range", [] { return RQContryController::create(); });
    host::registerScreen("qr.groups", [] { return RQQunListController::create(); });
    host::registerScreen("qr.personal", [] { return RQHuFenController::create(); });
    host::registerScreen("leads.industry", [] { return RQHengYeControlller::create(); });
    host::registerScreen("pictures", [] { return RQWifiController::create(); });
    host::registerScreen("about", [] { return JZAboutController::create(); });
    host::registerScreen("about.certificate", [] { return JZShouQuanController::create(); });
}

constexpr const char* kUsage = "usage: quillmark [--open NAME] [--clock real|virtual] [--window [--scale F]] [script]\n";

int usage()
{
    std::cerr << kUsage << "(quillmark --help lists the options and the commands)\n";
    return 2;
}

int help()
{
    std::cout << kUsage << "\n"
              << "Runs Quillmark headless, reading one command a line from the script, or from standard\n"
                 "input when none is named (at a terminal: with a prompt, going on after errors).\n"
                 "\n"
                 "Options:\n"
                 "  --open NAME          push the screen registered as NAME at launch\n"
                 "  --clock real|virtual how the clock runs (virtual by default: only advance moves it)\n"
                 "  --window             after the script, show the screen in a desktop window until it\n"
                 "                       is closed (clock real); it fits the display\n"
                 "  --scale F            the window's size: F times the screen's pixels (1 = full size)\n"
                 "  -h, --help           print this help\n"
                 "\n"
              << host::commandList();
    return 0;
}

// A script stops at its first error; at a terminal the host prompts and goes on.
void readingFrom(host::Driver& driver, bool script)
{
    bool terminal = !script && ::isatty(STDIN_FILENO);
    driver.setStopOnError(!terminal);
    driver.setTerminal(terminal);
    if (terminal)
        std::cout << "quillmark: type a command (help lists them); quit or end of input (Ctrl-D) ends\n";
}

} // namespace

int main(int argc, char** argv)
{
    std::string open, clockMode, script;
    bool window = false;
    double scale = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            return help();
        } else if (arg == "--window") {
            window = true;
        } else if (arg == "--open" && hasValue) {
            open = argv[++i];
        } else if (arg == "--clock" && hasValue) {
            clockMode = argv[++i];
            if (clockMode != "real" && clockMode != "virtual")
                return usage();
        } else if (arg == "--scale" && hasValue) {
            char* end = nullptr;
            scale = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(scale >= 0.1 && scale <= 4)) {
                std::cerr << "quillmark: --scale takes a factor from 0.1 to 4\n";
                return 2;
            }
        } else if (script.empty() && !arg.starts_with("-")) {
            script = arg;
        } else {
            return usage();
        }
    }
    std::ifstream file;
    if (!script.empty()) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(script, error)) {
            std::cerr << "quillmark: no script " << script << "\n";
            return 2;
        }
        file.open(script);
        if (!file) {
            std::cerr << "quillmark: cannot read " << script << "\n";
            return 2;
        }
    }
    std::istream& input = script.empty() ? std::cin : static_cast<std::istream&>(file);
#ifdef QM_HAVE_WINDOW
    if (std::string why; window && !host::HostWindow::displayAvailable(why)) {
        std::cerr << "quillmark: " << why << "\n";
        return 3;
    }
#else
    if (window) {
        std::cerr << "quillmark: built without a window (SDL2 was missing)\n";
        return 2;
    }
#endif

    host::useAppBundle(host::appBundleFolder(QM_APP_RESOURCES));
    if (const char* system = std::getenv("QUILLMARK_SYSTEM_VERSION"); system && *system)
        UIDevice::currentDevice()->setSystemVersion(system); // the device's system, "8.0" by default
    registerAppScreens();
    std::cout << std::unitbuf; // each command's output shows as it happens
    host::Driver driver(std::cout);
    if (!clockMode.empty())
        driver.execute("clock " + clockMode);
    if (!window)
        readingFrom(driver, !script.empty());
    else
        driver.setStopOnError(true);
    host::startNotificationRelay();
    uikit::setApplicationMainRunner([&] {
        if (!open.empty())
            driver.execute("open " + open);
        if (!window)
            return driver.run(input);
        int status = script.empty() ? 0 : driver.run(input, false);
#ifdef QM_HAVE_WINDOW
        driver.execute("clock real");
        std::string why;
        auto shown = host::HostWindow::open(why, scale);
        if (!shown) {
            std::cerr << "quillmark: " << why << "\n";
            status = 3;
        } else {
            std::cout << "quillmark: the screen is in a window now (" << shown->pixelWidth() << "x"
                      << shown->pixelHeight() << "); close it to end\n";
            shown->run();
        }
#endif
        host::quitApplication();
        return status;
    });
    int status = UIApplicationMain(argc, argv, [] { return std::make_shared<AppDelegate>(); });
    // Some threads live until the process ends (the push client's, the HTTP stack's) and may
    // still be at work; the process ends without destroying the static state they use.
    std::cout.flush();
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_do_leak_check();
#endif
    std::_Exit(status);
}
