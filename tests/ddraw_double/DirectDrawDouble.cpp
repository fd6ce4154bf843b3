// A scripted stand-in for ddraw.dll. MORVIT_DDRAW_SCRIPT names a file of lines (%HH in a text is byte HH):
//   device <{GUID}|none> <description> <name>   the first one replaces Wine's two devices
//   no-devices                                   an empty device list
//   surface <width> <height> <pitch> <bpp>       the primary's geometry (default 1024 768 4096 32)
//   fail <call> <hex code>                       that call does nothing and returns the code
//   fault-lock                                   locks of the primary hand out the address 00000010
// MORVIT_DDRAW_LOG names the record: "<call> <Method> <object> <argument> -> <result>" for every call but
// AddRef and Release, numbered from 1; "+ <object>" when one is created, "- <object>" when its last
// reference goes; "! <misuse>" (a call on a released object, an unused method).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/DirectDraw.h"

using namespace morvit;

namespace {

struct Device {
  bool hasGuid;
  GUID guid;
  std::string description, name;
};

struct Script {
  std::vector<Device> devices = {{false, {}, "DirectDraw HAL", "display"},
                                 {true, {0x4D4F5256, 0x4954, 0x11D2, {0x80, 0, 'D', 'I', 'S', 'P', 'L', '1'}},
                                  "WineD3D DirectDraw Emulation", "\\\\.\\DISPLAY1"}};
  unsigned width = 1024, height = 768, bpp = 32, call = 0;
  int pitch = 4096;
  std::vector<std::pair<unsigned, unsigned>> failures;
  bool faultingLock = false, ownDevices = false;
  std::FILE* log = nullptr;
};

std::string Unescape(const char* text) {
  std::string out;
  for (unsigned byte; *text; ++text) out += *text == '%' && std::sscanf(text + 1, "%2x", &byte) == 1 ? (text += 2, char(byte)) : *text;
  return out;
}

Script& Current() {
  static Script* script = [] {  // never destroyed: late calls still find it
    auto* s = new Script;
    const char* path = std::getenv("MORVIT_DDRAW_SCRIPT");
    std::FILE* file = path ? std::fopen(path, "r") : nullptr;
    for (char line[512], a[512], b[512], c[512]; file && std::fgets(line, sizeof line, file);) {
      unsigned g[11] = {}, x, y;
      if (std::sscanf(line, "device %511s %511s %511s", a, b, c) == 3 || std::strncmp(line, "no-devices", 10) == 0) {
        if (!s->ownDevices) s->devices.clear();
        s->ownDevices = true;
        if (line[0] == 'n') continue;
        const bool hasGuid = std::sscanf(a, "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &g[0], &g[1], &g[2], &g[3], &g[4],
                                         &g[5], &g[6], &g[7], &g[8], &g[9], &g[10]) == 11;
        GUID guid = {g[0], uint16_t(g[1]), uint16_t(g[2]), {}};
        for (int i = 0; i < 8; ++i) guid.Data4[i] = uint8_t(g[3 + i]);
        s->devices.push_back({hasGuid, guid, Unescape(b), Unescape(c)});
      }
      std::sscanf(line, "surface %u %u %d %u", &s->width, &s->height, &s->pitch, &s->bpp);
      if (std::sscanf(line, "fail %u %x", &x, &y) == 2) s->failures.push_back({x, y});
      s->faultingLock |= std::strncmp(line, "fault-lock", 10) == 0;
    }
    if (file) std::fclose(file);
    const char* log = std::getenv("MORVIT_DDRAW_LOG");
    s->log = log ? std::fopen(log, "w") : nullptr;
    return s;
  }();
  return *script;
}

void Log(const std::string& line) {
  if (Current().log) std::fprintf(Current().log, "%s\n", line.c_str()), std::fflush(Current().log);
}

// One numbered call: the script's result for it, if any, replaces what the call would return.
struct Call {
  unsigned number = ++Current().call;
  bool scripted = false;
  HRESULT forced = DD_OK;
  Call() {
    for (const auto& [call, code] : Current().failures) {
      if (call == number) scripted = true, forced = HRESULT(code);
    }
  }
  HRESULT Done(HRESULT result, const char* method, const std::string& object, unsigned argument) const {
    char line[160];
    result = scripted ? forced : result;
    std::snprintf(line, sizeof line, "%u %s %s %08X -> %08X", number, method, object.c_str(), argument, unsigned(result));
    Log(line);
    return result;
  }
};

struct Object {
  std::string name;
  ULONG refs = 1;
  explicit Object(std::string n) : name(std::move(n)) { Log("+ " + name); }
  ULONG Add() { return refs ? ++refs : (Log("! AddRef of released " + name), 0); }
  ULONG Drop() {
    if (refs == 0) return Log("! Release of released " + name), 0;
    return --refs > 0 ? refs : (Log("- " + name), 0);
  }
  bool Gone(const char* method) { return refs == 0 && (Log(std::string("! ") + method + " on released " + name), true); }
};

#define UNUSED(method) \
  HRESULT MORVIT_STDCALL method() override { return Log("! unused " #method), HRESULT(0x80004001u); }
#define COM_OBJECT                                                               \
  HRESULT MORVIT_STDCALL QueryInterface(const GUID&, void** object) override { \
    return *object = nullptr, HRESULT(0x80004002u);                             \
  }                                                                              \
  ULONG MORVIT_STDCALL AddRef() override { return Add(); }                       \
  ULONG MORVIT_STDCALL Release() override { return Drop(); }

class Surface final : public IDirectDrawSurface7, Object {
 public:
  Surface(std::string name, const DDSURFACEDESC2& desc, void* memory)
      : Object(std::move(name)), desc_(desc), memory_(static_cast<char*>(memory)) {}
  COM_OBJECT
  UNUSED(AddAttachedSurface) UNUSED(AddOverlayDirtyRect) UNUSED(BltBatch) UNUSED(BltFast)
  UNUSED(DeleteAttachedSurface) UNUSED(EnumAttachedSurfaces) UNUSED(EnumOverlayZOrders) UNUSED(Flip)
  UNUSED(GetAttachedSurface) UNUSED(GetBltStatus) UNUSED(GetCaps) UNUSED(GetClipper) UNUSED(GetColorKey)
  UNUSED(GetDC) UNUSED(GetFlipStatus) UNUSED(GetOverlayPosition) UNUSED(GetPalette) UNUSED(GetPixelFormat)
  UNUSED(Initialize) UNUSED(IsLost) UNUSED(ReleaseDC) UNUSED(Restore) UNUSED(SetClipper) UNUSED(SetColorKey)
  UNUSED(SetOverlayPosition) UNUSED(SetPalette)

  HRESULT MORVIT_STDCALL Blt(RECT*, IDirectDrawSurface7* source, RECT*, DWORD flags, void*) override {
    const Call call;
    auto* from = static_cast<Surface*>(source);
    HRESULT result = Gone("Blt") || from == nullptr || from->Gone("Blt") ? DDERR_GENERIC
                     : locked_ || from->locked_                         ? DDERR_SURFACEBUSY
                                                                        : DD_OK;
    if (result == DD_OK && !call.scripted) std::memmove(Memory(), from->Memory(), std::min(Bytes(), from->Bytes()));
    return call.Done(result, "Blt", name + "<" + (from ? from->name : "null"), flags);
  }
  HRESULT MORVIT_STDCALL GetSurfaceDesc(DDSURFACEDESC2* desc) override {
    const Call call;
    return call.Done(Describe(desc, nullptr, call.scripted || Gone("GetSurfaceDesc")), "GetSurfaceDesc", name,
                     desc ? desc->dwSize : 0);
  }
  HRESULT MORVIT_STDCALL Lock(RECT*, DDSURFACEDESC2* desc, DWORD flags, void*) override {
    const Call call;
    void* address = name == "primary" && Current().faultingLock ? reinterpret_cast<void*>(0x10) : Memory();
    HRESULT result = locked_ ? DDERR_SURFACEBUSY : Describe(desc, address, call.scripted || Gone("Lock"));
    locked_ |= result == DD_OK && !call.scripted;
    return call.Done(result, "Lock", name, flags);
  }
  HRESULT MORVIT_STDCALL Unlock(RECT*) override {
    const Call call;
    const HRESULT result = locked_ ? DD_OK : DDERR_NOTLOCKED;
    if (!call.scripted && !Gone("Unlock")) locked_ = false;
    return call.Done(result, "Unlock", name, 0);
  }

 private:
  size_t Bytes() const { return size_t(desc_.lPitch) * desc_.dwHeight; }
  // The primary's own memory, made when first used: a refused system-memory buffer of its size must
  // still be reachable.
  char* Memory() { return memory_ ? memory_ : (own_.resize(Bytes()), memory_ = own_.data()); }
  HRESULT Describe(DDSURFACEDESC2* desc, void* address, bool skip) {
    if (desc == nullptr || desc->dwSize != kSurfaceDescSize) return HRESULT(0x80070057u);
    if (!skip) *desc = desc_, desc->lpSurface = address;
    return DD_OK;
  }
  DDSURFACEDESC2 desc_;
  char* memory_;
  std::vector<char> own_;
  bool locked_ = false;
};

class DirectDraw final : public IDirectDraw7, Object {
 public:
  DirectDraw() : Object("ddraw") {}
  COM_OBJECT
  UNUSED(Compact) UNUSED(CreateClipper) UNUSED(CreatePalette) UNUSED(DuplicateSurface) UNUSED(EnumDisplayModes)
  UNUSED(EnumSurfaces) UNUSED(FlipToGDISurface) UNUSED(GetCaps) UNUSED(GetDisplayMode) UNUSED(GetFourCCCodes)
  UNUSED(GetGDISurface) UNUSED(GetMonitorFrequency) UNUSED(GetScanLine) UNUSED(GetVerticalBlankStatus)
  UNUSED(Initialize) UNUSED(RestoreDisplayMode)

  HRESULT MORVIT_STDCALL CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown*) override {
    const Call call;
    *surface = nullptr;
    const bool primary = (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
    // A system-memory surface needs the caller's memory.
    HRESULT result = primary || (desc->dwFlags & DDSD_LPSURFACE) ? DD_OK : HRESULT(0x80070057u);
    result = call.Done(Gone("CreateSurface") ? DDERR_GENERIC : result, "CreateSurface", name, desc->ddsCaps.dwCaps);
    if (call.scripted || result != DD_OK) return result;
    DDSURFACEDESC2 made = *desc;
    if (primary) {
      const Script& s = Current();
      made.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
      made.dwWidth = s.width, made.dwHeight = s.height, made.lPitch = s.pitch;
      made.ddpfPixelFormat.dwSize = sizeof made.ddpfPixelFormat, made.ddpfPixelFormat.dwRGBBitCount = s.bpp;
    }
    *surface = new Surface(primary ? "primary" : "sysmem", made, primary ? nullptr : desc->lpSurface);
    return result;
  }
  HRESULT MORVIT_STDCALL SetCooperativeLevel(void*, DWORD flags) override {
    return Call().Done(DD_OK, "SetCooperativeLevel", name, flags);
  }
};

}  // namespace

extern "C" {

HRESULT MORVIT_STDCALL DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, void* context, DWORD flags) {
  const Call call;
  const HRESULT result = call.Done(DD_OK, "DirectDrawEnumerateExA", "-", flags);
  if (call.scripted) return result;
  // Copies that live for the callback only, as a driver's would.
  for (Device d : Current().devices) {
    if (!callback(d.hasGuid ? &d.guid : nullptr, d.description.data(), d.name.data(), context, nullptr)) break;
  }
  return DD_OK;
}

HRESULT MORVIT_STDCALL DirectDrawCreateEx(GUID* guid, void** directDraw, const GUID&, IUnknown*) {
  const Call call;
  *directDraw = nullptr;
  const HRESULT result = call.Done(DD_OK, "DirectDrawCreateEx", "-", guid ? guid->Data1 : 0xFFFFFFFFu);
  if (!call.scripted) *directDraw = static_cast<IDirectDraw7*>(new DirectDraw);
  return result;
}

}  // extern "C"
