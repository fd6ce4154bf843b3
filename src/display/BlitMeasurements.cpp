#include "display/BlitMeasurements.h"

#include <cstring>

#include "app/RunState.h"
#include "console/Failure.h"
#include "console/OutputChannel.h"
#include "display/ComReference.h"
#include "measure/TimedSection.h"
#include "platform/Platform.h"

namespace morvit {

namespace {

// Out of line, so that the timed loop builds no text unless a blit has failed.
[[noreturn]] __attribute__((noinline, cold)) void RaiseBltFailure(HRESULT result) {
  Raise(kExceptionClass, "Test Blt Fail " + ResultText(result));
}

HRESULT WholeSurfaceBlt(IDirectDrawSurface7* target, IDirectDrawSurface7* source, DWORD flags) {
  return target->Blt(nullptr, source, nullptr, flags, nullptr);
}

}  // namespace

void WaitForOpComplete(IDirectDrawSurface7* surface) {
  ComReference<IDirectDrawSurface7> held = ComReference<IDirectDrawSurface7>::Share(surface);
  DDSURFACEDESC2 desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = kSurfaceDescSize;
  // DDLOCK_WAIT returns only once the blits using the surface are done.
  HRESULT result = surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_NOSYSLOCK, nullptr);
  if (Failed(result)) Raise(kExceptionClass, "WaitForOpComplete Lock Fail [" + ResultText(result) + "]");
  result = surface->Unlock(nullptr);
  if (Failed(result)) Raise(kExceptionClass, "WaitForOpComplete UnLock Fail [" + ResultText(result) + "]");
}

void TestBlt(IDirectDrawSurface7* source, IDirectDrawSurface7* target, int32_t count, std::string_view label,
             RunState& state) {
  ComReference<IDirectDrawSurface7> heldSource = ComReference<IDirectDrawSurface7>::Share(source);
  ComReference<IDirectDrawSurface7> heldTarget = ComReference<IDirectDrawSurface7>::Share(target);

  state.LastResult = WholeSurfaceBlt(target, source, DDBLT_WAIT);
  if (!state.PerfTests || Failed(state.LastResult)) {
    OutputChannel& out = Output();
    out.WriteText(label);
    out.WriteZText(": ");
    out.WriteLine(ResultText(state.LastResult));
    return;
  }

  WaitForOpComplete(source);
  WaitForOpComplete(target);
  BeginTest(state, label);
  for (int32_t i = 0; i < count; ++i) {
    if (state.WaitAfterBlit) {
      WaitForOpComplete(target);
      state.LastResult = WholeSurfaceBlt(target, source, DDBLT_WAIT);
    } else {
      // No retry: a blit refused because earlier ones are still in progress is a failure too.
      state.LastResult = WholeSurfaceBlt(target, source, DDBLT_DONOTWAIT);
    }
    if (Failed(state.LastResult)) RaiseBltFailure(state.LastResult);
    // A blit runs in the driver, where no key is thrown: the end of each is a safe point.
    platform::PollInterrupt();
  }
  // The closing wait puts the completion of the blits still in progress inside the timed span.
  WaitForOpComplete(target);
  EndTest(state, count);
}

}  // namespace morvit
