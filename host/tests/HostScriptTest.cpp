// End to end: the sample screen driven through the command driver by a script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/Driver.h"
#include "host/SampleApp.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/UIImage.h"
#include "platform/uikit/UIAlertView.h"
#include "testing/TempHome.h"
#include "testing/VirtualTime.h"

namespace {

struct Run {
    int status;
    std::string output;
};

Run runScript(const std::string& script)
{
    uikit::dismissAllAlerts(false);
    std::ostringstream out;
    std::istringstream in(script);
    host::Driver driver(out);
    uikit::setApplicationMainRunner([&] { return driver.run(in); });
    int status = UIApplicationMain(0, nullptr, [] { return std::make_shared<host::SampleAppDelegate>(); });
    uikit::setApplicationMainRunner(nullptr);
    return { status, out.str() };
}

TEST(HostScript, TapAnswerDumpAndSnapshot)
{
    testing_support::VirtualTime time;
    testing_support::TempHome home;
    std::string png = home.pathFor("shot.png");
    auto run = runScript("# the sample screen\n"
                         "tap tag 3\n"
                         "type Ann\n"
                         "tap title Show alert\n"
                         "dump\n"
                         "alert title OK\n"
                         "advance 1\n"
                         "dump\n"
                         "snapshot " + png + "\n"
                         "quit\n"
                         "echo never reached\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("UIAlertView title=\"Sample\" message=\"Continue, Ann?\" buttons=[\"Cancel\", \"OK\"]"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("      UILabel {{20, 90}, {280, 30}} \"Answered: OK\" tag=1"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("UITextField {{20, 200}, {280, 36}} \"Ann\" tag=3"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("UIWindow {{0, 0}, {320, 568}}"), std::string::npos);
    EXPECT_EQ(run.output.find("never reached"), std::string::npos);

    auto image = UIImage::imageWithContentsOfFile(png);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), 640u);
    EXPECT_EQ(CGImageGetHeight(image->CGImage()), 1136u);
}

TEST(HostScript, FailingCommandsAreReportedAndSetTheStatus)
{
    testing_support::VirtualTime time;
    auto run = runScript("tap title Nowhere\nalert index 0\nfly away\nadvance -1\ntap point 160 160\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("error: tap title Nowhere: no such view on screen"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("error: alert index 0: no alert on screen"), std::string::npos);
    EXPECT_NE(run.output.find("error: fly away: unknown command"), std::string::npos);
    EXPECT_NE(run.output.find("error: advance -1: expected a number of seconds"), std::string::npos);
    ASSERT_NE(uikit::topAlert(), nullptr) << "the tap by point reached the button";
    EXPECT_EQ(uikit::topAlert()->message(), "Continue?");
    uikit::dismissAllAlerts(false);
}

TEST(HostScript, UnescapesTypedText)
{
    EXPECT_EQ(host::unescape("a\\nb\\\\c\\b"), "a\nb\\c\b");
}

} // namespace
