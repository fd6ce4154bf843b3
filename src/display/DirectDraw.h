#pragma once
// Our own declarations of the parts of DirectDraw 7 (ddraw.dll) the benchmark calls, laid out exactly
// as the platform publishes them: the IDirectDraw7 and IDirectDrawSurface7 vtables in their published
// order, up to the last method called, with the flags of those calls, the entry points and the text of
// result codes. On Windows the objects behind them are ddraw.dll's own; elsewhere they come from a test
// double. The records they exchange are in DirectDrawRecords.h.

#include <string>

#include "display/DirectDrawRecords.h"
#include "platform/CallingConvention.h"

namespace morvit {

// {15E65EC0-3B9C-11D2-B92F-00609797EA5B}
constexpr GUID IID_IDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_NOSYSLOCK = 0x800;
constexpr DWORD DDBLT_WAIT = 0x01000000;
constexpr DWORD DDBLT_DONOTWAIT = 0x08000000;
constexpr DWORD DDENUM_ATTACHEDSECONDARYDEVICES = 0x1;

// A vtable slot the benchmark never calls; declared only to keep the later slots at their offsets.
#define MORVIT_UNUSED_SLOT(name) virtual HRESULT MORVIT_STDCALL name() = 0

struct IUnknown {
  virtual HRESULT MORVIT_STDCALL QueryInterface(const GUID& iid, void** object) = 0;
  virtual ULONG MORVIT_STDCALL AddRef() = 0;
  virtual ULONG MORVIT_STDCALL Release() = 0;
};

struct IDirectDrawSurface7 : IUnknown {
  MORVIT_UNUSED_SLOT(AddAttachedSurface);
  MORVIT_UNUSED_SLOT(AddOverlayDirtyRect);
  virtual HRESULT MORVIT_STDCALL Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags,
                                     void* bltFx) = 0;
  MORVIT_UNUSED_SLOT(BltBatch);
  MORVIT_UNUSED_SLOT(BltFast);
  MORVIT_UNUSED_SLOT(DeleteAttachedSurface);
  MORVIT_UNUSED_SLOT(EnumAttachedSurfaces);
  MORVIT_UNUSED_SLOT(EnumOverlayZOrders);
  MORVIT_UNUSED_SLOT(Flip);
  MORVIT_UNUSED_SLOT(GetAttachedSurface);
  MORVIT_UNUSED_SLOT(GetBltStatus);
  MORVIT_UNUSED_SLOT(GetCaps);
  MORVIT_UNUSED_SLOT(GetClipper);
  MORVIT_UNUSED_SLOT(GetColorKey);
  MORVIT_UNUSED_SLOT(GetDC);
  MORVIT_UNUSED_SLOT(GetFlipStatus);
  MORVIT_UNUSED_SLOT(GetOverlayPosition);
  MORVIT_UNUSED_SLOT(GetPalette);
  MORVIT_UNUSED_SLOT(GetPixelFormat);
  virtual HRESULT MORVIT_STDCALL GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
  MORVIT_UNUSED_SLOT(Initialize);
  MORVIT_UNUSED_SLOT(IsLost);
  virtual HRESULT MORVIT_STDCALL Lock(RECT* destRect, DDSURFACEDESC2* desc, DWORD flags, void* event) = 0;
  MORVIT_UNUSED_SLOT(ReleaseDC);
  MORVIT_UNUSED_SLOT(Restore);
  MORVIT_UNUSED_SLOT(SetClipper);
  MORVIT_UNUSED_SLOT(SetColorKey);
  MORVIT_UNUSED_SLOT(SetOverlayPosition);
  MORVIT_UNUSED_SLOT(SetPalette);
  virtual HRESULT MORVIT_STDCALL Unlock(RECT* rect) = 0;
};

struct IDirectDraw7 : IUnknown {
  MORVIT_UNUSED_SLOT(Compact);
  MORVIT_UNUSED_SLOT(CreateClipper);
  MORVIT_UNUSED_SLOT(CreatePalette);
  virtual HRESULT MORVIT_STDCALL CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface,
                                               IUnknown* outer) = 0;
  MORVIT_UNUSED_SLOT(DuplicateSurface);
  MORVIT_UNUSED_SLOT(EnumDisplayModes);
  MORVIT_UNUSED_SLOT(EnumSurfaces);
  MORVIT_UNUSED_SLOT(FlipToGDISurface);
  MORVIT_UNUSED_SLOT(GetCaps);
  MORVIT_UNUSED_SLOT(GetDisplayMode);
  MORVIT_UNUSED_SLOT(GetFourCCCodes);
  MORVIT_UNUSED_SLOT(GetGDISurface);
  MORVIT_UNUSED_SLOT(GetMonitorFrequency);
  MORVIT_UNUSED_SLOT(GetScanLine);
  MORVIT_UNUSED_SLOT(GetVerticalBlankStatus);
  MORVIT_UNUSED_SLOT(Initialize);
  MORVIT_UNUSED_SLOT(RestoreDisplayMode);
  virtual HRESULT MORVIT_STDCALL SetCooperativeLevel(void* window, DWORD flags) = 0;
};

using LPDDENUMCALLBACKEXA = BOOL(MORVIT_STDCALL*)(GUID* guid, char* description, char* driverName, void* context,
                                                  void* monitor);

// The printable form of a result code: "OK" for zero, else eight hexadecimal digits, "h " and the
// code's message.
std::string ResultText(HRESULT result);
// The message of a result code's row in the table, or "Unrecognized Error".
const char* ResultMessage(HRESULT result);

// ddraw.dll's two entry points, as the platform exports them (undecorated names, __stdcall).
using DirectDrawEnumerateExAFunction = HRESULT(MORVIT_STDCALL*)(LPDDENUMCALLBACKEXA callback, void* context,
                                                                DWORD flags);
using DirectDrawCreateExFunction = HRESULT(MORVIT_STDCALL*)(GUID* guid, void** directDraw, const GUID& iid,
                                                            IUnknown* outer);

}  // namespace morvit
