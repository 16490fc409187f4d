// The device's vendor identifier: the same for every run of the app on one home, another for
// another home, and a stored file that holds no identifier is replaced.
#include <gtest/gtest.h>

#include "platform/persistence/FileIO.h"
#include "platform/uikit/UIScreen.h"
#include "testing/TempHome.h"

namespace {

class DeviceVendor : public ::testing::Test {
protected:
    ~DeviceVendor() override { UIDevice::currentDevice()->forgetIdentifierForVendor(); }
    // What a new process of the app would answer.
    static std::optional<NSUUID> nextRun()
    {
        UIDevice::currentDevice()->forgetIdentifierForVendor();
        return UIDevice::currentDevice()->identifierForVendor();
    }
    testing_support::TempHome home_;
};

TEST_F(DeviceVendor, OneHomeKeepsOneIdentifierAcrossRuns)
{
    auto first = nextRun();
    ASSERT_TRUE(first);
    EXPECT_EQ(UIDevice::currentDevice()->identifierForVendor(), first);
    EXPECT_EQ(nextRun(), first);
    {
        testing_support::TempHome other;
        auto second = nextRun();
        ASSERT_TRUE(second);
        EXPECT_NE(second, first);
        EXPECT_EQ(nextRun(), second);
    }
    EXPECT_EQ(nextRun(), first);
}

TEST_F(DeviceVendor, AFileWithoutAnIdentifierIsReplaced)
{
    auto path = home_.pathFor("Library/identifierForVendor");
    for (const char* content : { "", "not an identifier", "6F9619FF-8B86-D011-B42D" }) {
        ASSERT_TRUE(persistence::writeToFile(std::string_view(content), path, true));
        auto made = nextRun();
        ASSERT_TRUE(made) << content;
        EXPECT_EQ(nextRun(), made) << content;
    }
    ASSERT_TRUE(persistence::writeToFile(std::string_view("6F9619FF-8B86-D011-B42D-00C04FC964FF\n"), path, true));
    EXPECT_EQ(nextRun(), NSUUID::initWithUUIDString("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
}

} // namespace
