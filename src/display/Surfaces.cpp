#include "display/Surfaces.h"

#include <cstring>

#include "app/RunState.h"
#include "console/Failure.h"
#include "console/OutputChannel.h"
#include "console/Text.h"
#include "display/DeviceList.h"
#include "display/DirectDrawLibrary.h"
#include "measure/MorvitUtl.h"

namespace morvit {

namespace {

void WriteUnsigned(uint32_t value) { Output().WriteInt64(value); }

}  // namespace

bool OpenDevice(RunState& state, ComReference<IDirectDraw7>& directDraw) {
  // Always the address of SelectedGuid, never null: all zero bytes when nothing was selected.
  void* object = nullptr;
  state.LastResult = DirectDrawCreateEx(&SelectedGuid, &object, IID_IDirectDraw7, nullptr);
  if (!Failed(state.LastResult)) *directDraw.Put() = static_cast<IDirectDraw7*>(object);
  OutputChannel& out = Output();
  out.WriteZText("DirectDrawCreateEx(");
  out.WriteText(GuidText(SelectedGuid));
  out.WriteZText(",IID_IDirectDraw7): ");
  out.WriteLine(ResultText(state.LastResult));
  // A success code without an object would leave nothing to call: that ends the run as well.
  if (Failed(state.LastResult) || !directDraw) return false;
  directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  return true;
}

bool CreatePrimarySurface(RunState& state, IDirectDraw7* directDraw, ComReference<IDirectDrawSurface7>& primary) {
  DDSURFACEDESC2& desc = state.SurfaceDesc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  state.LastResult = directDraw->CreateSurface(&desc, primary.Put(), nullptr);
  OutputChannel& out = Output();
  out.WriteZText("PrimarySurface: ");
  out.WriteLine(ResultText(state.LastResult));
  if (Failed(state.LastResult) || !primary) return false;

  primary->GetSurfaceDesc(&desc);
  out.WriteZText("  Resolution: ");
  WriteUnsigned(desc.dwWidth);
  out.WriteZText(" x ");
  WriteUnsigned(desc.dwHeight);
  out.WriteZText(" x ");
  WriteUnsigned(desc.ddpfPixelFormat.dwRGBBitCount);
  out.WriteLine("bpp");
  // A 32-bit product, as the byte counts of the tests are formed.
  state.DwordCount = (static_cast<uint32_t>(desc.lPitch) * desc.dwHeight) >> 2;
  return true;
}

bool CreateSysMemSurface(RunState& state, IDirectDraw7* directDraw, ComReference<IDirectDrawSurface7>& sysMem) {
  // The primary's own description becomes the request, so width, height, pitch and pixel format match.
  DDSURFACEDESC2& desc = state.SurfaceDesc;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
  AllocPages(state.SysMemBuffer, static_cast<int32_t>(static_cast<uint32_t>(desc.lPitch) * desc.dwHeight));
  desc.lpSurface = state.SysMemBuffer;
  state.LastResult = directDraw->CreateSurface(&desc, sysMem.Put(), nullptr);
  OutputChannel& out = Output();
  out.WriteZText("SysMemSurface (");
  WriteUnsigned(desc.dwWidth);
  out.WriteZText(" x ");
  WriteUnsigned(desc.dwHeight);
  out.WriteZText(", ");
  WriteUnsigned(desc.ddpfPixelFormat.dwRGBBitCount);
  out.WriteZText("bpp");
  out.WriteZText("): ");
  out.WriteLine(ResultText(state.LastResult));
  return static_cast<bool>(sysMem);
}

bool LockPrimary(RunState& state, IDirectDrawSurface7* primary) {
  state.LastResult = primary->Lock(nullptr, &state.SurfaceDesc, DDLOCK_WAIT | DDLOCK_NOSYSLOCK, nullptr);
  OutputChannel& out = Output();
  out.WriteZText("Primary.Lock: ");
  out.WriteLine(ResultText(state.LastResult));
  if (Failed(state.LastResult)) return false;
  out.WriteZText("  Pitch: ");
  out.WriteInt(state.SurfaceDesc.lPitch);
  out.EndLineAndCheck();
  out.WriteZText("  Virtual Address: ");
  out.WriteLine(HexText(reinterpret_cast<uintptr_t>(state.SurfaceDesc.lpSurface)));
  return true;
}

void UnlockPrimary(RunState& state, IDirectDrawSurface7* primary) {
  state.LastResult = primary->Unlock(nullptr);
  Output().WriteZText("Primary.UnLock: ");
  Output().WriteLine(ResultText(state.LastResult));
}

}  // namespace morvit
