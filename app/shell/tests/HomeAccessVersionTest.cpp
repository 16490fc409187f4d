// The home screen's address-book access by system version: from 6.0 on the categories' arrival
// asks for access (and a refusal shows the settings hint); below 6.0 there is nothing to ask: the
// address book is open, no prompt comes up and no hint shows. A version the device reads as a
// later release (one without a number among them) asks as that release does.
#include "app/shell/tests/ShellTestSupport.h"

namespace shell_test {
namespace {

class HomeAccessVersionTest : public ShellTest { };

TEST_F(HomeAccessVersionTest, OnlyFromSixOnIsAccessAskedFor)
{
    struct Case {
        const char* version;
        int accessRequests;
        ABAuthorizationStatus status;
        bool hint;
    };
    const Case cases[] = {
        { "5.1", 0, kABAuthorizationStatusAuthorized, false },
        { "6.0", 1, kABAuthorizationStatusDenied, true },
        // Read as the platform reads them: the latest known release, whose system asks.
        { "", 1, kABAuthorizationStatusDenied, true },
        { "beta", 1, kABAuthorizationStatusDenied, true },
    };
    for (const auto& c : cases) {
        resetShared();
        UIDevice::currentDevice()->setSystemVersion(c.version);
        // A user who would refuse: the prompt, if one came, leaves its mark.
        addressbook::setAccessPromptAnswer(addressbook::AccessPromptAnswer::Deny);
        auto screen = showHome();
        // The access step runs on the main thread right after the categories are listed.
        ASSERT_TRUE(waitFor([&] { return screen->listArray().size() == 13; })) << c.version;
        EXPECT_EQ(screen->accessRequests(), c.accessRequests) << c.version;
        EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), c.status) << c.version;
        auto alert = uikit::topAlert();
        EXPECT_EQ(alert && alert->title() == "温馨提示", c.hint) << c.version;
    }
}

} // namespace
} // namespace shell_test
