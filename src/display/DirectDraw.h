#pragma once
// Our own declarations of the parts of DirectDraw 7 (ddraw.dll) the benchmark uses, laid out exactly
// as the platform publishes them: record layouts, flag values, and the IDirectDraw7 and
// IDirectDrawSurface7 vtables in their published order, up to the last method called. On Windows the
// objects behind them are ddraw.dll's own; elsewhere they come from a test double.

#include <cstdint>
#include <string>

#include "platform/CallingConvention.h"

namespace morvit {

using HRESULT = int32_t;
using DWORD = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using ULONG = uint32_t;

constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_WASSTILLDRAWING = static_cast<HRESULT>(0x8876021Cu);
constexpr HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AEu);
constexpr HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x88760248u);
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

// Only the sign bit tells failure from success.
constexpr bool Failed(HRESULT result) { return result < 0; }

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

// {15E65EC0-3B9C-11D2-B92F-00609797EA5B}
constexpr GUID IID_IDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

struct RECT {
  LONG left, top, right, bottom;
};

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};

struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  DWORD dwRGBBitCount;
  DWORD dwRBitMask;
  DWORD dwGBitMask;
  DWORD dwBBitMask;
  DWORD dwRGBAlphaBitMask;
};

struct DDSCAPS2 {
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCaps3;
  DWORD dwCaps4;
};

struct DDSURFACEDESC2 {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  LONG lPitch;  // a union with dwLinearSize in the platform's header
  DWORD dwBackBufferCount;
  DWORD dwMipMapCount;
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  void* lpSurface;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS2 ddsCaps;
  DWORD dwTextureStage;
};
// The size the platform checks in dwSize; a 64-bit build only talks to the test double.
constexpr DWORD kSurfaceDescSize = 124;
static_assert(sizeof(void*) != 4 || sizeof(DDSURFACEDESC2) == kSurfaceDescSize, "DDSURFACEDESC2 is 124 bytes");

constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_LPSURFACE = 0x800;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;

constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;

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
