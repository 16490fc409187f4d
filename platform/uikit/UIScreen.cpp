// The main screen and the current device, and the version numbers that follow the system version.
#include "platform/uikit/UIScreen.h"

#include <charconv>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/addressbook/ABAddressBook.h"
#include "platform/graphics/UIImage.h"

double NSFoundationVersionNumber = 1140.11;
double kCFCoreFoundationVersionNumber = 1140.10;

std::shared_ptr<UIScreen> UIScreen::mainScreen()
{
    static auto screen = std::make_shared<UIScreen>();
    return screen;
}

void UIScreen::configure(CGSize size, double scale)
{
    size_ = size;
    scale_ = scale > 0 ? scale : 1;
    graphics::setMainScreenScale(scale_);
}

std::shared_ptr<UIDevice> UIDevice::currentDevice()
{
    static auto device = std::make_shared<UIDevice>();
    return device;
}

namespace {

struct VersionNumbers {
    double foundation;
    double coreFoundation;
};

using Release = std::pair<int, int>; // major, minor

// The major and minor number a version text begins with ("8" is 8.0); none when it begins with
// no number.
std::optional<Release> parseRelease(std::string_view version)
{
    const char* end = version.data() + version.size();
    int major = 0;
    auto [next, error] = std::from_chars(version.data(), end, major);
    if (error != std::errc())
        return std::nullopt;
    int minor = 0;
    if (next != end && *next == '.')
        std::from_chars(next + 1, end, minor);
    return Release { major, minor };
}

// The known releases and their framework version numbers.
const std::map<Release, VersionNumbers>& knownReleases()
{
    static const std::map<Release, VersionNumbers> known {
        { { 5, 1 }, { 890.10, 690.10 } },
        { { 6, 0 }, { 993.00, 793.00 } },
        { { 6, 1 }, { 993.00, 793.00 } },
        { { 7, 0 }, { 1047.20, 847.20 } },
        { { 7, 1 }, { 1047.25, 847.24 } },
        { { 8, 0 }, { 1140.11, 1140.10 } },
        { { 8, 1 }, { 1141.1, 1141.14 } },
        { { 8, 4 }, { 1144.17, 1145.15 } },
        { { 9, 0 }, { 1240.1, 1240.1 } },
    };
    return known;
}

// The known release a version text reads as. Releases are compared by number. One not in the
// table reads as the latest known release of its major version or, failing that, the latest
// before it (so 10 and later read as 9.0); one before every known release as the oldest; a
// version with no number (empty included) as the latest known.
std::map<Release, VersionNumbers>::const_iterator releaseFor(std::string_view version)
{
    const auto& known = knownReleases();
    auto release = parseRelease(version);
    if (!release)
        return std::prev(known.end());
    auto found = known.find(*release);
    if (found != known.end())
        return found;
    found = known.upper_bound({ release->first, std::numeric_limits<int>::max() });
    return found == known.begin() ? found : std::prev(found);
}

// Every known minor is a single digit, so major + minor / 10 is the release's own number.
double numberOf(const Release& release) { return release.first + release.second / 10.0; }

}

double UIDevice::releaseNumber(const std::string& version) { return numberOf(releaseFor(version)->first); }

void UIDevice::setSystemVersion(const std::string& version)
{
    auto found = releaseFor(version);
    systemVersion_ = version;
    systemVersionNumber_ = numberOf(found->first);
    NSFoundationVersionNumber = found->second.foundation;
    kCFCoreFoundationVersionNumber = found->second.coreFoundation;
    // Systems before 6.0 have no address-book permission: every app may use the book.
    addressbook::setSystemAsksForAccess(found->first >= Release { 6, 0 });
}

namespace uikit {

void resetDeviceProfile()
{
    UIScreen::mainScreen()->configure({ 320, 568 }, 2);
    auto device = UIDevice::currentDevice();
    device->setSystemVersion("8.0");
    device->setModel("iPhone");
    device->setName("iPhone Simulator");
    device->setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
    device->forgetIdentifierForVendor();
}

} // namespace uikit
