// The main screen and the current device, and the version numbers that follow the system version.
#include "platform/uikit/UIScreen.h"

#include <cstdlib>
#include <map>

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

void UIDevice::setSystemVersion(const std::string& version)
{
    struct Numbers {
        double foundation;
        double coreFoundation;
    };
    static const std::map<std::string, Numbers> known {
        { "5.1", { 890.10, 690.10 } },
        { "6.0", { 993.00, 793.00 } },
        { "6.1", { 993.00, 793.00 } },
        { "7.0", { 1047.20, 847.20 } },
        { "7.1", { 1047.25, 847.24 } },
        { "8.0", { 1140.11, 1140.10 } },
        { "8.1", { 1141.1, 1141.14 } },
        { "8.4", { 1144.17, 1145.15 } },
        { "9.0", { 1240.1, 1240.1 } },
    };
    systemVersion_ = version;
    auto found = known.find(version);
    if (found == known.end()) {
        int major = std::atoi(version.c_str());
        found = known.upper_bound(std::to_string(major) + ".~");
        if (found != known.begin())
            --found;
    }
    NSFoundationVersionNumber = found->second.foundation;
    kCFCoreFoundationVersionNumber = found->second.coreFoundation;
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
