#pragma once
// The process-wide device selection: set by the command line and the device listing, read when the
// device is opened.

#include <cstdint>

#include "display/DirectDraw.h"

namespace morvit {

// Zero-based running number of the device to open (the /D switch); -1 asks for none.
extern int32_t DeviceNumber;
// Running number of the device being reported; after the listing, the number of the last one.
extern int32_t DeviceCounter;
// The GUID of the device to open; all zero when nothing was selected.
extern GUID SelectedGuid;

}  // namespace morvit
