#pragma once
// The plain records and values of DirectDraw 7 (ddraw.dll) that the benchmark uses, laid out exactly as
// the platform publishes them: scalar types, result codes, the surface description and the flag values
// of its fields. The run's record holds a surface description and a result code, so the layers below
// the display see this header; the interfaces that reach the platform are in DirectDraw.h.

#include <cstdint>

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

}  // namespace morvit
