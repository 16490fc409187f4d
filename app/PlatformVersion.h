// The few facts about the running system that the app's code branches on: the foundation
// framework's version number, the system version and the vendor identifier. They are settable
// so tests (and the host) can play any release. Minimal on purpose: the toolkit's device object
// is meant to take these over once the app links it.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/NSUUID.h"

namespace app {

// The foundation version number with its fraction (1140.11 for release 8.0 by default).
double foundationVersionNumber();
void setFoundationVersionNumber(double version);
// The same, fraction dropped: the number the code compares with 993, 1047, 1140 and 1144.
long foundationVersion();

// The system version text ("8.0" by default).
std::string systemVersion();
void setSystemVersion(std::string version);

// The device's identifier for this app's vendor: one random UUID per process unless set.
// None stands for a device that cannot give one yet.
std::optional<NSUUID> identifierForVendor();
void setIdentifierForVendor(std::optional<NSUUID> identifier);

// Back to the defaults above (a new random vendor identifier).
void resetPlatformVersion();

} // namespace app
