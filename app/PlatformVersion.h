// The few facts about the running system that the app's code branches on: the foundation
// framework's version number and the system version. They are settable so tests (and the host)
// can play any release. The vendor identifier is the toolkit's device object's.
#pragma once

#include <string>

namespace app {

// The foundation version number with its fraction (1140.11 for release 8.0 by default).
double foundationVersionNumber();
void setFoundationVersionNumber(double version);
// The same, fraction dropped: the number the code compares with 993, 1047, 1140 and 1144.
long foundationVersion();

// The system version text ("8.0" by default).
std::string systemVersion();
void setSystemVersion(std::string version);

// Back to the defaults above.
void resetPlatformVersion();

} // namespace app
