// The device object's device identifier.
#include "app/UIDevice+DVUUID.h"

#include "app/DVUUID.h"

std::string uuid(const UIDevice&) { return DVUUID::uuidForDevice(); }
