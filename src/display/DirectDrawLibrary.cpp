#include "display/DirectDrawLibrary.h"

#include <string>

#include "console/Failure.h"
#include "platform/Platform.h"

namespace morvit {

DirectDrawEnumerateExAFunction DirectDrawEnumerateExA = nullptr;
DirectDrawCreateExFunction DirectDrawCreateEx = nullptr;

namespace {

constexpr const char* kLibraryName = "ddraw.dll";

[[noreturn]] void RaiseNotAvailable(const char* what) {
  Raise(kExceptionClass, std::string("DirectDraw 7 not available [") + what + "]");
}

template <typename Function>
Function Export(void* library, const char* name) {
  void* address = platform::FindExport(library, name);
  if (address == nullptr) RaiseNotAvailable(name);
  return reinterpret_cast<Function>(address);
}

}  // namespace

void LoadDirectDraw() {
  void* library = platform::LoadSharedLibrary(kLibraryName);
  if (library == nullptr) RaiseNotAvailable(kLibraryName);
  DirectDrawEnumerateExA = Export<DirectDrawEnumerateExAFunction>(library, "DirectDrawEnumerateExA");
  DirectDrawCreateEx = Export<DirectDrawCreateExFunction>(library, "DirectDrawCreateEx");
}

}  // namespace morvit
