#pragma once
// The display device listing and the process-wide device selection.

#include <cstdint>
#include <string>

#include "display/DirectDraw.h"

namespace morvit {

// Zero-based running number of the device to open (the /D switch); -1 asks for none.
extern int32_t DeviceNumber;
// Running number of the device being reported; after the listing, the number of the last one.
extern int32_t DeviceCounter;
// The GUID of the device to open; all zero when nothing was selected.
extern GUID SelectedGuid;

// The 38-character text of a GUID in braces, upper-case digits, as the platform writes it. Raises
// EOleSysError when the platform cannot make it.
std::string GuidText(const GUID& guid);

// Lists every display device DirectDraw reports (four lines each) and selects the one whose running
// number is DeviceNumber, if it has a GUID.
void ListDevices();

// DirectDraw's per-device callback of the listing.
BOOL MORVIT_STDCALL EnumDeviceCallback(GUID* guid, char* description, char* driverName, void* context,
                                       void* monitor);

}  // namespace morvit
