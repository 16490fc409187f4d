// quillmark: runs the application headless, driven by a command script (the file named as the
// last argument) or by standard input. See host/Driver.h for the command language.
//
//   quillmark [--open NAME] [--clock real|virtual] [script]
//
// The application starts as on a phone: AppDelegate builds the window with the home screen at the
// root of the navigation stack. --open pushes the screen registered as NAME on top of it at
// launch; --clock chooses how the platform clock runs (virtual, the default, moves only by
// "advance"; real follows the wall clock).
#include <fstream>
#include <iostream>
#include <string>

#include "host/AppBundle.h"
#include "host/Driver.h"
#include "host/ScreenRegistry.h"

#include "app/prospecting/RQAddFirendController.h"
#include "app/prospecting/RQContryController.h"
#include "app/prospecting/RQHuFenController.h"
#include "app/prospecting/RQJingZhunJiaFenController.h"
#include "app/prospecting/RQQunListController.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/RQMainController.h"

namespace {

void registerAppScreens()
{
    host::registerScreen("home", [] { return RQMainController::create(); });
    host::registerScreen("leads.region", [] { return RQAddFirendController::create(); });
    host::registerScreen("leads.precise", [] { return RQJingZhunJiaFenController::create(); });
    host::registerScreen("leads.range", [] { return RQContryController::create(); });
    host::registerScreen("qr.groups", [] { return RQQunListController::create(); });
    host::registerScreen("qr.personal", [] { return RQHuFenController::create(); });
}

int usage()
{
    std::cerr << "usage: quillmark [--open NAME] [--clock real|virtual] [script]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string open, clockMode, script;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--open" && hasValue) {
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
    registerAppScreens();
    std::cout << std::unitbuf; // each command's output shows as it happens
    host::Driver driver(std::cout);
    if (!clockMode.empty())
        driver.execute("clock " + clockMode);
    uikit::setApplicationMainRunner([&] {
        if (!open.empty())
            driver.execute("open " + open);
        return driver.run(input);
    });
    return UIApplicationMain(argc, argv, [] { return std::make_shared<AppDelegate>(); });
}
