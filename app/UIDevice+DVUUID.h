// UIDevice(DVUUID): the device identifier (DVUUID::uuidForDevice()) asked of the device object.
#pragma once

#include <string>

class UIDevice;

std::string uuid(const UIDevice& device);
