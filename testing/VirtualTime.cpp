// Virtual time as a scope.
#include "testing/VirtualTime.h"

#include "platform/foundation/Clock.h"

namespace testing_support {

VirtualTime::VirtualTime(double secondsSince1970) { foundation::clock::useVirtualTime(secondsSince1970); }

VirtualTime::~VirtualTime() { foundation::clock::useRealTime(); }

void VirtualTime::advance(double seconds) { foundation::clock::advance(seconds); }

double VirtualTime::now() const { return foundation::clock::now(); }

} // namespace testing_support
