// A scripted stand-in for ddraw.dll. MORVIT_DDRAW_SCRIPT names a file of lines (%HH in a text is byte HH):
//   device guid|none <description> <name>       the first one replaces Wine's two devices
//   surface <width> <height> <pitch> <bpp>       the primary's geometry (default 1024 768 4096 32)
//   fail <Method> <object> <n> <hex code>        the n-th call of that method on that object does nothing and
//                                                returns the code; <object> as in the record
//   fault-lock                                   locks of the primary hand out the address 00000010
// MORVIT_DDRAW_LOG names the record: "<call> <Method> <object> <argument> -> <result>" for every call but
// AddRef and Release, numbered from 1; "+ <object>" when one is created, "- <object>" when its last
// reference goes; "! <misuse>" (a call on a released object, an unused method).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
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
  GUID guid = {0x4D4F5256, 0x4954, 0x11D2, {0x80, 0, 'D', 'I', 'S', 'P', 'L', '1'}};  // the one device GUID there is
  std::vector<Device> devices = {{false, {}, "DirectDraw HAL", "display"},
                                 {true, guid, "WineD3D DirectDraw Emulation", "\\\\.\\DISPLAY1"}};
  unsigned width = 1024, height = 768, bpp = 32, calls = 0;
  int pitch = 4096;
  std::map<std::string, std::map<unsigned, unsigned>> failures;  // "<Method> <object>": the n-th call's result
  std::map<std::string, unsigned> callsOf;                       // "<Method> <object>": calls so far
  bool faultingLock = false;
  std::FILE* log = nullptr;
};

std::string Unescape(const char* text) {
  std::string out;
  for (unsigned byte; *text; ++text) {
    const bool escaped = *text == '%' && std::sscanf(text + 1, "%2x", &byte) == 1;
    out += escaped ? char(byte) : *text;
    if (escaped) text += 2;
  }
  return out;
}

Script& Current() {
  static Script* script = [] {  // never destroyed: late calls still find it
    auto* s = new Script;
    const char* path = std::getenv("MORVIT_DDRAW_SCRIPT");
    std::FILE* file = path ? std::fopen(path, "r") : nullptr;
    std::vector<Device> devices;
    for (char line[512], a[512], b[512], c[512]; file && std::fgets(line, sizeof line, file);) {
      unsigned n, result;
      if (std::sscanf(line, "device %511s %511s %511s", a, b, c) == 3)
        devices.push_back({a[0] == 'g', s->guid, Unescape(b), Unescape(c)});
      std::sscanf(line, "surface %u %u %d %u", &s->width, &s->height, &s->pitch, &s->bpp);
      if (std::sscanf(line, "fail %511s %511s %u %x", a, b, &n, &result) == 4)
        s->failures[std::string(a) + " " + b][n] = result;
      s->faultingLock |= std::strncmp(line, "fault-lock", 10) == 0;
    }
    if (!devices.empty()) s->devices = devices;
    const char* log = std::getenv("MORVIT_DDRAW_LOG");
    s->log = log ? std::fopen(log, "w") : nullptr;
    if (file) std::fclose(file);
    return s;
  }();
  return *script;
}

void Log(const std::string& line) {
  if (Current().log == nullptr) return;
  std::fprintf(Current().log, "%s\n", line.c_str());
  std::fflush(Current().log);
}

// One numbered call: the script's result for the n-th call of its method on its object, if any, replaces what
// it does and returns.
struct Call {
  Call(const char* method, const std::string& object) : methodAndObject(std::string(method) + " " + object) {}
  std::string methodAndObject;  // as the script and the record write them
  unsigned number = ++Current().calls, nth = ++Current().callsOf[methodAndObject];
  bool scripted = Current().failures[methodAndObject].count(nth) != 0;
  HRESULT Done(HRESULT result, unsigned argument) const {
    char line[160];
    result = scripted ? HRESULT(Current().failures[methodAndObject][nth]) : result;
    std::snprintf(line, sizeof line, "%u %s %08X -> %08X", number, methodAndObject.c_str(), argument, unsigned(result));
    Log(line);
    return result;
  }
};

// Objects are never freed, so that a call on a released one is recorded rather than made on freed memory;
// they stay reachable from here.
std::vector<const void*>& Kept() {
  static auto* kept = new std::vector<const void*>;
  return *kept;
}

struct Object {
  std::string name;
  ULONG refs = 1;
  explicit Object(std::string n) : name(std::move(n)) {
    Kept().push_back(this);
    Log("+ " + name);
  }
  bool Gone(const std::string& misuse) {
    if (refs == 0) Log("! " + misuse + " " + name);
    return refs == 0;
  }
  ULONG Add() { return Gone("AddRef of released") ? 0 : ++refs; }
  ULONG Drop() {
    if (refs == 1) Log("- " + name);
    return Gone("Release of released") ? 0 : --refs;
  }
};

#define UNUSED(method)                       \
  HRESULT MORVIT_STDCALL method() override { \
    Log("! unused " #method);                \
    return HRESULT(0x80004001u);             \
  }
#define COM_OBJECT                                                             \
  HRESULT MORVIT_STDCALL QueryInterface(const GUID&, void** object) override { \
    *object = nullptr;                                                         \
    return kNoInterface;                                                       \
  }                                                                            \
  ULONG MORVIT_STDCALL AddRef() override { return Add(); }                     \
  ULONG MORVIT_STDCALL Release() override { return Drop(); }
constexpr HRESULT kNoInterface = HRESULT(0x80004002u), kInvalidParams = HRESULT(0x80070057u);

class Surface final : public IDirectDrawSurface7, Object {
 public:
  Surface(std::string name, const DDSURFACEDESC2& desc, void* memory)
      : Object(std::move(name)), desc_(desc), memory_(static_cast<char*>(memory)) {}
  COM_OBJECT
  // Method lists, for which the formatter settles on no layout.
  // clang-format off
  UNUSED(AddAttachedSurface) UNUSED(AddOverlayDirtyRect) UNUSED(BltBatch) UNUSED(BltFast)
  UNUSED(DeleteAttachedSurface) UNUSED(EnumAttachedSurfaces) UNUSED(EnumOverlayZOrders) UNUSED(Flip)
  UNUSED(GetAttachedSurface) UNUSED(GetBltStatus) UNUSED(GetCaps) UNUSED(GetClipper) UNUSED(GetColorKey)
  UNUSED(GetDC) UNUSED(GetFlipStatus) UNUSED(GetOverlayPosition) UNUSED(GetPalette) UNUSED(GetPixelFormat)
  UNUSED(Initialize) UNUSED(IsLost) UNUSED(ReleaseDC) UNUSED(Restore) UNUSED(SetClipper) UNUSED(SetColorKey)
  UNUSED(SetOverlayPosition) UNUSED(SetPalette)
      // clang-format on

      HRESULT MORVIT_STDCALL Blt(RECT*, IDirectDrawSurface7* source, RECT*, DWORD flags, void*) override {
    auto* from = static_cast<Surface*>(source);
    const bool gone = Gone("Blt on released") || from == nullptr || from->Gone("Blt on released");
    const Call call("Blt", name + "<" + (from ? from->name : "null"));
    return call.Done(gone ? DDERR_GENERIC : locked_ || from->locked_ ? DDERR_SURFACEBUSY : DD_OK, flags);
  }
  HRESULT MORVIT_STDCALL GetSurfaceDesc(DDSURFACEDESC2* desc) override {
    const Call call("GetSurfaceDesc", name);
    return call.Done(Describe(desc, nullptr, call.scripted), desc ? desc->dwSize : 0);
  }
  HRESULT MORVIT_STDCALL Lock(RECT*, DDSURFACEDESC2* desc, DWORD flags, void*) override {
    const Call call("Lock", name);
    // The primary's own memory is made when first used: a refused system-memory buffer of its size must be reachable.
    if (memory_ == nullptr) {
      own_.resize(size_t(desc_.lPitch) * desc_.dwHeight);
      memory_ = own_.data();
    }
    void* address = name == "primary" && Current().faultingLock ? reinterpret_cast<void*>(0x10) : memory_;
    const HRESULT result = locked_ ? DDERR_SURFACEBUSY : Describe(desc, address, call.scripted);
    locked_ |= result == DD_OK && !call.scripted;
    return call.Done(result, flags);
  }
  HRESULT MORVIT_STDCALL Unlock(RECT*) override {
    const Call call("Unlock", name);
    const HRESULT result = locked_ ? DD_OK : DDERR_NOTLOCKED;
    locked_ &= call.scripted || Gone("Unlock on released");
    return call.Done(result, 0);
  }

 private:
  HRESULT Describe(DDSURFACEDESC2* desc, void* address, bool skip) {
    if (desc == nullptr || desc->dwSize != kSurfaceDescSize || Gone("a description on released")) return kInvalidParams;
    if (skip) return DD_OK;
    *desc = desc_;
    desc->lpSurface = address;
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
  // Method lists, for which the formatter settles on no layout.
  // clang-format off
  UNUSED(Compact) UNUSED(CreateClipper) UNUSED(CreatePalette) UNUSED(DuplicateSurface) UNUSED(EnumDisplayModes)
  UNUSED(EnumSurfaces) UNUSED(FlipToGDISurface) UNUSED(GetCaps) UNUSED(GetDisplayMode) UNUSED(GetFourCCCodes)
  UNUSED(GetGDISurface) UNUSED(GetMonitorFrequency) UNUSED(GetScanLine) UNUSED(GetVerticalBlankStatus)
  UNUSED(Initialize) UNUSED(RestoreDisplayMode)
      // clang-format on

      HRESULT MORVIT_STDCALL CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown*) override {
    const Call call("CreateSurface", name);
    const bool primary = (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
    // A system-memory surface needs the caller's memory.
    HRESULT result = Gone("CreateSurface on released")             ? DDERR_GENERIC
                     : primary || (desc->dwFlags & DDSD_LPSURFACE) ? DD_OK
                                                                   : kInvalidParams;
    result = call.Done(result, desc->ddsCaps.dwCaps);
    *surface = nullptr;
    if (call.scripted || result != DD_OK) return result;
    const Script& s = Current();
    DDSURFACEDESC2 made = *desc;
    if (primary) {
      made.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
      made.dwWidth = s.width;
      made.dwHeight = s.height;
      made.lPitch = s.pitch;
      made.ddpfPixelFormat.dwRGBBitCount = s.bpp;
    }
    *surface = new Surface(primary ? "primary" : "sysmem", made, primary ? nullptr : desc->lpSurface);
    return result;
  }
  HRESULT MORVIT_STDCALL SetCooperativeLevel(void*, DWORD flags) override {
    return Call("SetCooperativeLevel", name).Done(DD_OK, flags);
  }
};

}  // namespace

extern "C" HRESULT MORVIT_STDCALL DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, void* context, DWORD flags) {
  const Call call("DirectDrawEnumerateExA", "-");
  const HRESULT result = call.Done(DD_OK, flags);
  // Copies that live for the callback only, as a driver's would.
  for (Device d : call.scripted ? std::vector<Device>() : Current().devices) {
    if (!callback(d.hasGuid ? &d.guid : nullptr, d.description.data(), d.name.data(), context, nullptr)) break;
  }
  return result;
}

extern "C" HRESULT MORVIT_STDCALL DirectDrawCreateEx(GUID* guid, void** directDraw, const GUID&, IUnknown*) {
  const Call call("DirectDrawCreateEx", "-");
  *directDraw = call.scripted ? nullptr : static_cast<IDirectDraw7*>(new DirectDraw);
  return call.Done(DD_OK, guid ? guid->Data1 : 0xFFFFFFFFu);
}

// For tests that run the display code in their own process: a line of theirs among the calls.
extern "C" void NoteInRecord(const char* line) { Log(line); }
