// What the host tests share: running a command script through the driver with an application
// delegate, as the executable does, and collecting what it printed; a fixture with virtual
// time, a fresh app home and no screens or alerts left behind; a titled button for test screens.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "host/Driver.h"
#include "host/QuillmarkAppDelegate.h"
#include "host/ScreenRegistry.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"

namespace host_test {

struct Run {
    int status;
    std::string output;
};

template <class Delegate = host::QuillmarkAppDelegate>
int runScriptTo(const std::string& script, std::ostream& out)
{
    uikit::dismissAllAlerts(false);
    std::istringstream in(script);
    host::Driver driver(out);
    uikit::setApplicationMainRunner([&] { return driver.run(in); });
    int status = UIApplicationMain(0, nullptr, [] { return std::make_shared<Delegate>(); });
    uikit::setApplicationMainRunner(nullptr);
    return status;
}

template <class Delegate = host::QuillmarkAppDelegate>
Run runScript(const std::string& script)
{
    std::ostringstream out;
    int status = runScriptTo<Delegate>(script, out);
    return { status, out.str() };
}

inline bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

inline std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class HostTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        host::clearScreens();
        uikit::dismissAllAlerts(false);
    }
    testing_support::VirtualTime time;
    testing_support::TempHome home;
};

// A system button titled `title` at `frame` on the screen's view, calling `action`.
template <class Screen>
void addButton(Screen& screen, const std::string& title, CGRect frame, void (Screen::*action)())
{
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setFrame(frame);
    button->setTitle(title, UIControlStateNormal);
    button->addTarget(screen.template sharedAs<Screen>(), action, UIControlEventTouchUpInside);
    screen.view()->addSubview(button);
}

} // namespace host_test
