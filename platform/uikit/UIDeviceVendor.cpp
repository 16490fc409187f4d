// The device's vendor identifier, kept in a file of the app's home. The first run stores a new
// one with an exclusive link, so two processes starting at once still agree on one identifier;
// a file that holds no identifier is replaced.
#include <unistd.h>

#include <cerrno>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileIO.h"
#include "platform/uikit/UIScreen.h"

namespace {

constexpr const char* kVendorFile = "Library/identifierForVendor";

std::optional<NSUUID> readStored(const std::string& path)
{
    auto text = persistence::stringWithContentsOfFile(path);
    if (!text)
        return std::nullopt;
    while (!text->empty() && (text->back() == '\n' || text->back() == '\r'))
        text->pop_back();
    return NSUUID::initWithUUIDString(*text);
}

// Stores `made` unless another process stored an identifier first; returns the one stored, or
// `made` when it cannot be stored (it then holds for this run only).
NSUUID storeOnce(const std::string& path, const NSUUID& made)
{
    std::string temporary = path + "." + made.UUIDString() + ".tmp";
    if (!persistence::writeToFile(made.UUIDString(), temporary, true))
        return made;
    int linked = ::link(temporary.c_str(), path.c_str());
    int error = errno;
    ::unlink(temporary.c_str());
    if (linked == 0 || error != EEXIST)
        return made;
    if (auto stored = readStored(path))
        return *stored;
    persistence::writeToFile(made.UUIDString(), path, true);
    return made;
}

} // namespace

std::optional<NSUUID> UIDevice::identifierForVendor()
{
    std::lock_guard lock(vendorMutex_);
    if (vendorOverride_)
        return *vendorOverride_;
    std::string home = NSHomeDirectory();
    if (vendor_ && vendorHome_ == home)
        return vendor_;
    auto path = persistence::appendPathComponent(home, kVendorFile);
    auto stored = readStored(path);
    vendor_ = stored ? *stored : storeOnce(path, NSUUID());
    vendorHome_ = home;
    return vendor_;
}

void UIDevice::setIdentifierForVendor(std::optional<NSUUID> identifier)
{
    std::lock_guard lock(vendorMutex_);
    vendorOverride_ = identifier;
}

void UIDevice::forgetIdentifierForVendor()
{
    std::lock_guard lock(vendorMutex_);
    vendorOverride_.reset();
    vendor_.reset();
    vendorHome_.clear();
}
