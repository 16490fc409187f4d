// Which framework version numbers a system version reads as: releases by number, later ones as
// the latest known, an empty version as the latest known.
#include "Fixture.h"
#include "platform/addressbook/ABTestSeams.h"

namespace {

double foundationFor(const std::string& version)
{
    UIDevice::currentDevice()->setSystemVersion(version);
    return NSFoundationVersionNumber;
}

}

TEST_F(UIKitTest, SystemVersionsReadAsTheirReleaseByNumber)
{
    const double latest = foundationFor("9.0");
    const double coreLatest = kCFCoreFoundationVersionNumber;
    EXPECT_EQ(foundationFor("5.1"), 890.10);
    EXPECT_EQ(foundationFor("7.0"), NSFoundationVersionNumber_iOS_7_0);
    EXPECT_EQ(foundationFor("8.2"), 1144.17) << "an unknown minor release reads as its major's latest";
    EXPECT_EQ(foundationFor("4.3"), 890.10) << "older than every known release";
    for (const char* later : { "9.3", "10.0", "12.3", "10", "", "beta" }) {
        EXPECT_EQ(foundationFor(later), latest) << later;
        EXPECT_EQ(kCFCoreFoundationVersionNumber, coreLatest) << later;
        EXPECT_EQ(UIDevice::currentDevice()->systemVersionNumber(), 9.0) << later;
    }
    EXPECT_EQ(UIDevice::currentDevice()->systemVersion(), "beta") << "the text stays as given";
    // The number code compares is the release's, read the same way.
    for (const auto& [version, number] : { std::pair { "5.1", 5.1 }, { "4.3", 5.1 }, { "7.0.3", 7.0 }, { "8.2", 8.4 } }) {
        foundationFor(version);
        EXPECT_EQ(UIDevice::currentDevice()->systemVersionNumber(), number) << version;
        EXPECT_EQ(UIDevice::releaseNumber(version), number) << version;
    }
}

TEST_F(UIKitTest, OnlyFromSixOnDoesTheSystemAskForTheAddressBook)
{
    addressbook::setAuthorizationStatus(kABAuthorizationStatusDenied);
    for (const auto& [version, status] : { std::pair { "5.1", kABAuthorizationStatusAuthorized },
             { "4.3", kABAuthorizationStatusAuthorized }, { "6.0", kABAuthorizationStatusDenied },
             { "10.0", kABAuthorizationStatusDenied } }) {
        UIDevice::currentDevice()->setSystemVersion(version);
        EXPECT_EQ(ABAddressBookGetAuthorizationStatus(), status) << version;
    }
    addressbook::resetTestSeams();
}
