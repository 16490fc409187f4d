// The screen and the device, with the seams tests and the host configure: screen size and
// scale (320×568 points at scale 2 by default), system version and model, and the framework
// version numbers code branches on (kept consistent with the system version). The device also
// gives the app's vendor identifier, kept in the app's home.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSUUID.h"
#include "platform/graphics/Geometry.h"

class UIScreen final : public NSObject {
public:
    static std::shared_ptr<UIScreen> mainScreen();
    CGRect bounds() const { return { {}, size_ }; }
    CGRect applicationFrame() const { return { { 0, 20 }, { size_.width, size_.height - 20 } }; }
    double scale() const { return scale_; }
    std::string className() const override { return "UIScreen"; }

    // Seam: the main screen's size in points and its scale.
    void configure(CGSize size, double scale);

private:
    CGSize size_ { 320, 568 };
    double scale_ = 2;
};

enum UIUserInterfaceIdiom : int { UIUserInterfaceIdiomPhone = 0, UIUserInterfaceIdiomPad = 1 };

class UIDevice final : public NSObject {
public:
    static std::shared_ptr<UIDevice> currentDevice();
    const std::string& systemVersion() const { return systemVersion_; }
    // The system's release as a number, as the platform reads the version text: the known
    // release it took the framework version numbers of ("8.0.2" reads as 8.0, "10.0" as 9.0, "" and
    // "beta" as the latest known). Code that compares system versions reads this.
    double systemVersionNumber() const { return systemVersionNumber_; }
    // The same reading of any version text.
    static double releaseNumber(const std::string& version);
    const std::string& model() const { return model_; }
    const std::string& name() const { return name_; }
    std::string systemName() const { return "iPhone OS"; }
    UIUserInterfaceIdiom userInterfaceIdiom() const { return idiom_; }
    // The keyboard click; counted so tests can see it.
    void playInputClick() { ++inputClicks_; }
    int inputClickCount() const { return inputClicks_; }
    std::string className() const override { return "UIDevice"; }

    // The identifier of the app's vendor on this device: made on first use and kept in the app's
    // home ("Library/identifierForVendor"), so every run of the app with the same home gives the
    // same one, and another home another. None only when a test says so.
    std::optional<NSUUID> identifierForVendor();
    // Seam: a fixed answer (none included) instead of the stored identifier.
    void setIdentifierForVendor(std::optional<NSUUID> identifier);
    // Forgets what this run knows of the vendor identifier, as a new process starts; the stored
    // one stays.
    void forgetIdentifierForVendor();

    // Seams. Setting the system version also sets the framework version numbers to that
    // release's ("5.1", "6.0", "6.1", "7.0", "7.1", "8.0", "8.1", "8.4", "9.0", compared by number;
    // others by major: the latest known release of it or before it, so "10.0" reads as "9.0").
    // A version with no number, empty included, reads as the latest known release.
    void setSystemVersion(const std::string& version);
    void setModel(const std::string& model) { model_ = model; }
    void setName(const std::string& name) { name_ = name; }
    void setUserInterfaceIdiom(UIUserInterfaceIdiom idiom) { idiom_ = idiom; }

private:
    std::string systemVersion_ = "8.0";
    double systemVersionNumber_ = 8.0;
    std::string model_ = "iPhone";
    std::string name_ = "iPhone Simulator";
    UIUserInterfaceIdiom idiom_ = UIUserInterfaceIdiomPhone;
    int inputClicks_ = 0;
    std::mutex vendorMutex_;
    std::optional<std::optional<NSUUID>> vendorOverride_;
    std::string vendorHome_; // the home `vendor_` was read from
    std::optional<NSUUID> vendor_;
};

// The framework version numbers of the running system (settable directly too).
extern double NSFoundationVersionNumber;
extern double kCFCoreFoundationVersionNumber;

inline constexpr double NSFoundationVersionNumber_iOS_6_1 = 993.00;
inline constexpr double NSFoundationVersionNumber_iOS_7_0 = 1047.20;
inline constexpr double NSFoundationVersionNumber_iOS_7_1 = 1047.25;
inline constexpr double kCFCoreFoundationVersionNumber_iOS_7_0 = 847.20;
inline constexpr double kCFCoreFoundationVersionNumber_iOS_8_0 = 1140.10;

namespace uikit {
// Puts the screen, the device and the version numbers back to their defaults, and forgets the
// vendor identifier this run knows.
void resetDeviceProfile();
}
