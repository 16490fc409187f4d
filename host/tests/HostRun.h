// Running a command script through the driver with an application delegate, as the
// executable does, and collecting what it printed.
#pragma once

#include <memory>
#include <sstream>
#include <string>

#include "host/Driver.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"

namespace host_test {

struct Run {
    int status;
    std::string output;
};

template <class Delegate>
Run runScript(const std::string& script)
{
    uikit::dismissAllAlerts(false);
    std::ostringstream out;
    std::istringstream in(script);
    host::Driver driver(out);
    uikit::setApplicationMainRunner([&] { return driver.run(in); });
    int status = UIApplicationMain(0, nullptr, [] { return std::make_shared<Delegate>(); });
    uikit::setApplicationMainRunner(nullptr);
    return { status, out.str() };
}

inline bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace host_test
