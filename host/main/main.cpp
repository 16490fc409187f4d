// quillmark: runs the application headless, driven by a command script (the file named as the
// last argument) or by standard input. See host/Driver.h for the command language.
//
//   quillmark [--open NAME] [--clock real|virtual] [--window] [script]
//
// The application starts as on a phone: AppDelegate builds the window with the home screen at the
// root of the navigation stack. --open pushes the screen registered as NAME on top of it at
// launch; --clock chooses how the platform clock runs (virtual, the default, moves only by
// "advance"; real follows the wall clock). --window shows the screen in a desktop window once the
// script (if any) has run, with the clock real, until the window is closed; standard input is
// not read then. A push message carrying a notification payload reaches the app as a remote
// notification (host/NotificationRelay.h). QUILLMARK_SYSTEM_VERSION sets the device's system
// version ("9.0" makes incoming URLs reach the app's options form).
#include <cstdio>
#include <cstdlib>
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

int usage()
{
    std::cerr << "usage: quillmark [--open NAME] [--clock real|virtual] [--window] [script]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string open, clockMode, script;
    bool window = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--window") {
            window = true;
        } else if (arg == "--open" && hasValue) {
            open = argv[++i];
        } else if (arg == "--clock" && hasValue) {
            clockMode = argv[++i];
            if (clockMode != "real" && clockMode != "virtual")
                return usage();
        } else if (script.empty() && !arg.starts_with("--")) {
            script = arg;
        } else {
            return usage();
        }
    }
    std::ifstream file;
    if (!script.empty()) {
        file.open(script);
        if (!file) {
            std::cerr << "quillmark: cannot read " << script << "\n";
            return 2;
        }
    }
    std::istream& input = script.empty() ? std::cin : static_cast<std::istream&>(file);

    host::useAppBundle(host::appBundleFolder(QM_APP_RESOURCES));
    if (const char* system = std::getenv("QUILLMARK_SYSTEM_VERSION"); system && *system)
        UIDevice::currentDevice()->setSystemVersion(system); // the device's system, "8.0" by default
    registerAppScreens();
    std::cout << std::unitbuf; // each command's output shows as it happens
    host::Driver driver(std::cout);
    if (!clockMode.empty())
        driver.execute("clock " + clockMode);
#ifndef QM_HAVE_WINDOW
    if (window) {
        std::cerr << "quillmark: built without a window (SDL2 was missing)\n";
        return 2;
    }
#endif
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
        auto shown = host::HostWindow::open(why);
        if (!shown) {
            std::cerr << "quillmark: " << why << "\n";
            status = 1;
        } else {
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
