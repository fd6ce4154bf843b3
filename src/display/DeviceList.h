#pragma once
// The display device listing, which also makes the device selection.

#include <string>

#include "display/DeviceSelection.h"
#include "display/DirectDraw.h"

namespace morvit {

// The 38-character text of a GUID in braces, upper-case digits, as the platform writes it. Raises
// EOleSysError when the platform cannot make it.
std::string GuidText(const GUID& guid);

// Lists every display device DirectDraw reports (four lines each) and selects the one whose running
// number is DeviceNumber, if it has a GUID.
void ListDevices();

// DirectDraw's per-device callback of the listing.
BOOL MORVIT_STDCALL EnumDeviceCallback(GUID* guid, char* description, char* driverName, void* context, void* monitor);

}  // namespace morvit
