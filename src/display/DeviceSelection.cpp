#include "display/DeviceSelection.h"

namespace morvit {

int32_t DeviceNumber = -1;
int32_t DeviceCounter = -1;
GUID SelectedGuid = {};

}  // namespace morvit
