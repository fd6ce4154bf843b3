#include "display/DeviceList.h"

#include <cstring>
#include <exception>
#include <utility>

#include "console/Failure.h"
#include "console/OutputChannel.h"
#include "console/Text.h"
#include "display/DirectDrawLibrary.h"
#include "platform/Platform.h"

namespace morvit {

namespace {

// A failure raised inside the callback cannot unwind through ddraw.dll's frames, which carry no
// unwind data for our exceptions: it waits here until DirectDrawEnumerateExA has returned.
std::exception_ptr pendingFailure;

constexpr BOOL kContinue = -1;  // all 32 bits set
constexpr BOOL kStop = 0;

void ReportDevice(GUID* guid, char* description, const char* driverName) {
  ++DeviceCounter;
  // A driver may pass no text at all; it is shown as empty.
  char empty[1] = {'\0'};
  if (description == nullptr) description = empty;
  if (driverName == nullptr) driverName = empty;
  platform::ConvertToOemCodePage(description);
  OutputChannel& out = Output();
  out.WriteZText("  Driver ");
  out.WriteInt(DeviceCounter);
  out.WriteZText(": ");
  out.WriteZText(driverName);
  out.EndLineAndCheck();
  out.WriteZText("  Description: ");
  out.WriteZText(description);
  out.EndLineAndCheck();
  out.WriteZText("  GUID: ");
  out.EndStatementAndCheck();
  if (guid != nullptr) {
    out.WriteLine(GuidText(*guid));
    if (DeviceCounter == DeviceNumber) SelectedGuid = *guid;
  } else {
    out.WriteLine("No");
  }
  out.EndLineAndCheck();
}

}  // namespace

std::string GuidText(const GUID& guid) {
  unsigned char bytes[16];
  std::memcpy(bytes, &guid, sizeof bytes);
  std::string text;
  int32_t result = platform::GuidToText(bytes, text);
  if (result < 0) {
    std::string message = platform::SystemErrorText(result);
    if (message.empty()) message = Format("OLE error %.8x", static_cast<unsigned>(result));
    Raise("EOleSysError", message, result);
  }
  return text;
}

BOOL MORVIT_STDCALL EnumDeviceCallback(GUID* guid, char* description, char* driverName, void*, void*) {
  try {
    ReportDevice(guid, description, driverName);
  } catch (...) {
    pendingFailure = std::current_exception();
    return kStop;
  }
  return kContinue;
}

void ListDevices() {
  LoadDirectDraw();
  DeviceCounter = -1;
  std::memset(&SelectedGuid, 0, sizeof SelectedGuid);
  pendingFailure = nullptr;
  DirectDrawEnumerateExA(EnumDeviceCallback, nullptr, DDENUM_ATTACHEDSECONDARYDEVICES);
  if (pendingFailure) std::rethrow_exception(std::exchange(pendingFailure, nullptr));
}

}  // namespace morvit
