// A scripted stand-in for ddraw.dll. MORVIT_DDRAW_SCRIPT names a file of lines (%HH in a text is byte HH):
//   device guid|none <description> <name>       the first one replaces Wine's two devices
//   surface <width> <height> <pitch> <bpp>       the primary's geometry (default 1024 768 4096 32)
//   fail <Method> <object> <n> <hex code>        the n-th call of that method on that object does nothing and
//                                                returns the code; <object> as in the record
//   fault-lock                                   locks of the primary hand out the address 00000010
// MORVIT_DDRAW_LOG names the record: "<call> <Method> <object> <arguments> -> <result>" for every call but
// AddRef and Release, numbered from 1, flags by their names; "+ <object>" when one is created, "- <object>"
// when its last reference goes; "! <misuse>" (a call on a released object, an unused method, a failure
// thrown out of the enumeration callback).
//
// Like DirectDraw it refuses a surface before a cooperative level (DDERR_NOCOOPERATIVELEVELSET), a
// description of another size, a pixel format that is not the primary's, a blit or lock of a released or
// locked surface or one whose DirectDraw object has gone (DDERR_SURFACELOST), a blit from another device's
// surface, an unlock of what is not locked. Arguments it takes as they come: the record shows them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "display/DirectDraw.h"

using namespace morvit;

namespace {

constexpr HRESULT kInvalidParams = HRESULT(0x80070057u);
constexpr HRESULT kNoInterface = HRESULT(0x80004002u);
constexpr HRESULT kUnsupported = HRESULT(0x80004001u);
constexpr HRESULT kInvalidObject = HRESULT(0x88760082u);
constexpr HRESULT kInvalidPixelFormat = HRESULT(0x88760091u);
constexpr HRESULT kNoCooperativeLevelSet = HRESULT(0x887600D4u);
constexpr HRESULT kSurfaceLost = HRESULT(0x887601C2u);
constexpr HRESULT kDeviceDoesNotOwnSurface = HRESULT(0x887602BBu);

// The flags MORVIT passes, by name, for the record; any other shows as a number.
struct FlagName {
  DWORD value;
  const char* name;
};
const FlagName kEnumerationFlags[] = {{0x1, "DDENUM_ATTACHEDSECONDARYDEVICES"}};
const FlagName kCooperationFlags[] = {{0x8, "DDSCL_NORMAL"}};
const FlagName kDescriptionFlags[] = {{0x1, "DDSD_CAPS"},  {0x2, "DDSD_HEIGHT"},      {0x4, "DDSD_WIDTH"},
                                      {0x8, "DDSD_PITCH"}, {0x800, "DDSD_LPSURFACE"}, {0x1000, "DDSD_PIXELFORMAT"}};
const FlagName kCapabilities[] = {
    {0x40, "DDSCAPS_OFFSCREENPLAIN"}, {0x200, "DDSCAPS_PRIMARYSURFACE"}, {0x800, "DDSCAPS_SYSTEMMEMORY"}};
const FlagName kLockFlags[] = {{0x1, "DDLOCK_WAIT"}, {0x800, "DDLOCK_NOSYSLOCK"}};
const FlagName kBlitFlags[] = {{0x01000000, "DDBLT_WAIT"}, {0x08000000, "DDBLT_DONOTWAIT"}};

template <size_t n>
std::string FlagsText(DWORD flags, const FlagName (&names)[n]) {
  std::string text;
  for (const FlagName& flag : names) {
    if ((flags & flag.value) == 0) continue;
    if (!text.empty()) text += "|";
    text += flag.name;
    flags &= ~flag.value;
  }
  if (flags != 0) {
    char rest[16];
    std::snprintf(rest, sizeof rest, "%s0x%X", text.empty() ? "" : "|", flags);
    text += rest;
  }
  if (text.empty()) text = "0";
  return text;
}

std::string PointerText(const void* pointer) { return pointer == nullptr ? "null" : "set"; }

std::string GuidText(const GUID* guid) {
  if (guid == nullptr) return "null";
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid->Data1, guid->Data2,
                guid->Data3, guid->Data4[0], guid->Data4[1], guid->Data4[2], guid->Data4[3], guid->Data4[4],
                guid->Data4[5], guid->Data4[6], guid->Data4[7]);
  return text;
}

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Device {
  bool hasGuid;
  GUID guid;
  std::string description;
  std::string name;
};

// The one device GUID there is.
constexpr GUID kDeviceGuid = {0x4D4F5256, 0x4954, 0x11D2, {0x80, 0, 'D', 'I', 'S', 'P', 'L', '1'}};

struct Script {
  std::vector<Device> devices;
  unsigned width = 1024;
  unsigned height = 768;
  int pitch = 4096;
  unsigned bpp = 32;
  std::map<std::string, std::map<unsigned, unsigned>> failures;  // "<Method> <object>": the n-th call's result
  std::map<std::string, unsigned> callsOf;                       // "<Method> <object>": calls so far
  unsigned calls = 0;
  bool faultingLock = false;
  std::FILE* log = nullptr;
};

std::string Unescape(const char* text) {
  std::string out;
  while (*text != '\0') {
    unsigned byte = 0;
    if (text[0] == '%' && std::sscanf(text + 1, "%2x", &byte) == 1) {
      out += static_cast<char>(byte);
      text += 3;
    } else {
      out += *text;
      text += 1;
    }
  }
  return out;
}

// Reads the script and opens the record named by the environment.
void Load(Script& script) {
  script.devices = {{false, {}, "DirectDraw HAL", "display"},
                    {true, kDeviceGuid, "WineD3D DirectDraw Emulation", "\\\\.\\DISPLAY1"}};
  const char* path = std::getenv("MORVIT_DDRAW_SCRIPT");
  std::FILE* file = nullptr;
  if (path != nullptr) file = std::fopen(path, "r");
  std::vector<Device> devices;
  char line[512];
  while (file != nullptr && std::fgets(line, sizeof line, file) != nullptr) {
    char a[512];
    char b[512];
    char c[512];
    unsigned n = 0;
    unsigned result = 0;
    if (std::sscanf(line, "device %511s %511s %511s", a, b, c) == 3) {
      devices.push_back({a[0] == 'g', kDeviceGuid, Unescape(b), Unescape(c)});
    }
    std::sscanf(line, "surface %u %u %d %u", &script.width, &script.height, &script.pitch, &script.bpp);
    if (std::sscanf(line, "fail %511s %511s %u %x", a, b, &n, &result) == 4) {
      script.failures[std::string(a) + " " + b][n] = result;
    }
    if (std::strncmp(line, "fault-lock", 10) == 0) script.faultingLock = true;
  }
  if (file != nullptr) std::fclose(file);
  if (!devices.empty()) script.devices = devices;
  const char* log = std::getenv("MORVIT_DDRAW_LOG");
  if (log != nullptr) script.log = std::fopen(log, "w");
}

Script*& CurrentScript() {
  static Script* script = nullptr;  // never destroyed: late calls still find it
  return script;
}

Script& Current() {
  if (CurrentScript() == nullptr) {
    CurrentScript() = new Script;
    Load(*CurrentScript());
  }
  return *CurrentScript();
}

void Log(const std::string& line) {
  if (Current().log == nullptr) return;
  std::fprintf(Current().log, "%s\n", line.c_str());
  std::fflush(Current().log);
}

// One numbered call: the script's result for the n-th call of its method on its object, if any, replaces what
// it does and returns.
class Call {
 public:
  Call(const char* method, const std::string& object) : methodAndObject_(std::string(method) + " " + object) {
    Script& script = Current();
    script.calls += 1;
    number_ = script.calls;
    script.callsOf[methodAndObject_] += 1;
    const unsigned nth = script.callsOf[methodAndObject_];
    const auto failures = script.failures.find(methodAndObject_);
    if (failures != script.failures.end() && failures->second.count(nth) != 0) {
      scripted_ = true;
      scriptedResult_ = HRESULT(failures->second.at(nth));
    }
  }
  bool Scripted() const { return scripted_; }
  // Records the call with its arguments and returns its result: the script's, or else the given one.
  HRESULT Done(HRESULT result, const std::string& arguments) const {
    if (scripted_) result = scriptedResult_;
    char line[64];
    std::snprintf(line, sizeof line, " -> %08X", unsigned(result));
    Log(std::to_string(number_) + " " + methodAndObject_ + " " + arguments + line);
    return result;
  }

 private:
  std::string methodAndObject_;  // as the script and the record write them
  unsigned number_ = 0;
  bool scripted_ = false;
  HRESULT scriptedResult_ = DD_OK;
};

// Objects are never freed, so that a call on a released one is recorded rather than made on freed memory;
// they stay reachable from here.
std::vector<const void*>& Kept() {
  static auto* kept = new std::vector<const void*>;
  return *kept;
}

class Object {
 public:
  explicit Object(std::string name) : name_(std::move(name)) {
    Kept().push_back(this);
    Log("+ " + name_);
  }
  const std::string& Name() const { return name_; }
  bool Released() const { return refs_ == 0; }
  // Records a call on a released object.
  bool Gone(const std::string& what) const {
    if (refs_ == 0) Log("! " + what + " on released " + name_);
    return refs_ == 0;
  }
  ULONG Add() {
    if (Gone("AddRef")) return 0;
    refs_ += 1;
    return refs_;
  }
  ULONG Drop() {
    if (Gone("Release")) return 0;
    refs_ -= 1;
    if (refs_ == 0) Log("- " + name_);
    return refs_;
  }
  HRESULT Unused(const char* method) const {
    Log(std::string("! unused ") + method + " of " + name_);
    return kUnsupported;
  }

 private:
  std::string name_;
  ULONG refs_ = 1;
};

// The pixel format of the primary: RGB of the script's depth, its masks left zero.
DDPIXELFORMAT PrimaryFormat(unsigned bpp) {
  DDPIXELFORMAT format;
  std::memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  format.dwFlags = 0x40;  // DDPF_RGB
  format.dwRGBBitCount = bpp;
  return format;
}

class DirectDraw;

class Surface final : public IDirectDrawSurface7, public Object {
 public:
  Surface(std::string name, const DirectDraw* owner, const DDSURFACEDESC2& desc, void* memory)
      : Object(std::move(name)), owner_(owner), desc_(desc), memory_(static_cast<char*>(memory)) {}

  HRESULT MORVIT_STDCALL QueryInterface(const GUID&, void** object) override {
    *object = nullptr;
    return kNoInterface;
  }
  ULONG MORVIT_STDCALL AddRef() override { return Add(); }
  ULONG MORVIT_STDCALL Release() override { return Drop(); }

  HRESULT MORVIT_STDCALL Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags,
                             void* bltFx) override {
    auto* from = static_cast<Surface*>(source);
    std::string fromName = "null";
    if (from != nullptr) fromName = from->Name();
    const Call call("Blt", Name() + "<" + fromName);
    HRESULT result = Usable("Blt");
    if (result == DD_OK && from != nullptr) result = from->Usable("Blt");
    if (result == DD_OK && from == nullptr) result = kInvalidParams;
    if (result == DD_OK && from->owner_ != owner_) result = kDeviceDoesNotOwnSurface;
    if (result == DD_OK && (locked_ || from->locked_)) result = DDERR_SURFACEBUSY;
    const std::string arguments = "dest=" + PointerText(destRect) + " source-rect=" + PointerText(sourceRect) +
                                  " flags=" + FlagsText(flags, kBlitFlags) + " fx=" + PointerText(bltFx);
    return call.Done(result, arguments);
  }

  HRESULT MORVIT_STDCALL GetSurfaceDesc(DDSURFACEDESC2* desc) override {
    const Call call("GetSurfaceDesc", Name());
    HRESULT result = Usable("GetSurfaceDesc");
    if (result == DD_OK && !SizedDescription(desc)) result = kInvalidParams;
    if (result == DD_OK && !call.Scripted()) Describe(desc, nullptr);
    return call.Done(result, "size=" + SizeText(desc));
  }

  HRESULT MORVIT_STDCALL Lock(RECT* destRect, DDSURFACEDESC2* desc, DWORD flags, void* event) override {
    const Call call("Lock", Name());
    HRESULT result = Usable("Lock");
    if (result == DD_OK && !SizedDescription(desc)) result = kInvalidParams;
    if (result == DD_OK && locked_) result = DDERR_SURFACEBUSY;
    if (result == DD_OK && !call.Scripted()) {
      Describe(desc, LockedMemory());
      locked_ = true;
    }
    const std::string arguments = "rect=" + PointerText(destRect) + " size=" + SizeText(desc) +
                                  " flags=" + FlagsText(flags, kLockFlags) + " event=" + PointerText(event);
    return call.Done(result, arguments);
  }

  HRESULT MORVIT_STDCALL Unlock(RECT* rect) override {
    const Call call("Unlock", Name());
    HRESULT result = Usable("Unlock");
    if (result == DD_OK && !locked_) result = DDERR_NOTLOCKED;
    if (result == DD_OK && !call.Scripted()) locked_ = false;
    return call.Done(result, "rect=" + PointerText(rect));
  }

  // The slots MORVIT never calls.
  HRESULT MORVIT_STDCALL AddAttachedSurface() override { return Unused("AddAttachedSurface"); }
  HRESULT MORVIT_STDCALL AddOverlayDirtyRect() override { return Unused("AddOverlayDirtyRect"); }
  HRESULT MORVIT_STDCALL BltBatch() override { return Unused("BltBatch"); }
  HRESULT MORVIT_STDCALL BltFast() override { return Unused("BltFast"); }
  HRESULT MORVIT_STDCALL DeleteAttachedSurface() override { return Unused("DeleteAttachedSurface"); }
  HRESULT MORVIT_STDCALL EnumAttachedSurfaces() override { return Unused("EnumAttachedSurfaces"); }
  HRESULT MORVIT_STDCALL EnumOverlayZOrders() override { return Unused("EnumOverlayZOrders"); }
  HRESULT MORVIT_STDCALL Flip() override { return Unused("Flip"); }
  HRESULT MORVIT_STDCALL GetAttachedSurface() override { return Unused("GetAttachedSurface"); }
  HRESULT MORVIT_STDCALL GetBltStatus() override { return Unused("GetBltStatus"); }
  HRESULT MORVIT_STDCALL GetCaps() override { return Unused("GetCaps"); }
  HRESULT MORVIT_STDCALL GetClipper() override { return Unused("GetClipper"); }
  HRESULT MORVIT_STDCALL GetColorKey() override { return Unused("GetColorKey"); }
  HRESULT MORVIT_STDCALL GetDC() override { return Unused("GetDC"); }
  HRESULT MORVIT_STDCALL GetFlipStatus() override { return Unused("GetFlipStatus"); }
  HRESULT MORVIT_STDCALL GetOverlayPosition() override { return Unused("GetOverlayPosition"); }
  HRESULT MORVIT_STDCALL GetPalette() override { return Unused("GetPalette"); }
  HRESULT MORVIT_STDCALL GetPixelFormat() override { return Unused("GetPixelFormat"); }
  HRESULT MORVIT_STDCALL Initialize() override { return Unused("Initialize"); }
  HRESULT MORVIT_STDCALL IsLost() override { return Unused("IsLost"); }
  HRESULT MORVIT_STDCALL ReleaseDC() override { return Unused("ReleaseDC"); }
  HRESULT MORVIT_STDCALL Restore() override { return Unused("Restore"); }
  HRESULT MORVIT_STDCALL SetClipper() override { return Unused("SetClipper"); }
  HRESULT MORVIT_STDCALL SetColorKey() override { return Unused("SetColorKey"); }
  HRESULT MORVIT_STDCALL SetOverlayPosition() override { return Unused("SetOverlayPosition"); }
  HRESULT MORVIT_STDCALL SetPalette() override { return Unused("SetPalette"); }

 private:
  // DD_OK, or why the surface cannot be used: released, or its DirectDraw object gone.
  HRESULT Usable(const char* method) const;

  static bool SizedDescription(const DDSURFACEDESC2* desc) {
    return desc != nullptr && desc->dwSize == kSurfaceDescSize;
  }
  static std::string SizeText(const DDSURFACEDESC2* desc) {
    if (desc == nullptr) return "null";
    return std::to_string(desc->dwSize);
  }
  void* LockedMemory() {
    if (Name() == "primary" && Current().faultingLock) return reinterpret_cast<void*>(0x10);
    // The primary's own memory is made when first locked: a refused system-memory buffer of its size must
    // be reachable.
    if (memory_ == nullptr) {
      own_.resize(size_t(desc_.lPitch) * desc_.dwHeight);
      memory_ = own_.data();
    }
    return memory_;
  }
  void Describe(DDSURFACEDESC2* desc, void* address) const {
    *desc = desc_;
    desc->lpSurface = address;
  }

  const DirectDraw* owner_;
  DDSURFACEDESC2 desc_;
  char* memory_;
  std::vector<char> own_;
  bool locked_ = false;
};

class DirectDraw final : public IDirectDraw7, public Object {
 public:
  DirectDraw() : Object("ddraw") {}

  HRESULT MORVIT_STDCALL QueryInterface(const GUID&, void** object) override {
    *object = nullptr;
    return kNoInterface;
  }
  ULONG MORVIT_STDCALL AddRef() override { return Add(); }
  ULONG MORVIT_STDCALL Release() override { return Drop(); }

  HRESULT MORVIT_STDCALL SetCooperativeLevel(void* window, DWORD flags) override {
    const Call call("SetCooperativeLevel", Name());
    HRESULT result = DD_OK;
    if (Gone("SetCooperativeLevel")) result = kInvalidObject;
    if (result == DD_OK && !call.Scripted()) cooperativeLevelSet_ = true;
    return call.Done(result, "window=" + PointerText(window) + " flags=" + FlagsText(flags, kCooperationFlags));
  }

  HRESULT MORVIT_STDCALL CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) override {
    const Call call("CreateSurface", Name());
    HRESULT result = Refusal(desc, surface);
    std::string arguments = "outer=" + PointerText(outer);
    if (desc != nullptr) arguments = RequestText(*desc) + " " + arguments;
    if (surface != nullptr) *surface = nullptr;
    result = call.Done(result, arguments);
    if (call.Scripted() || result != DD_OK) return result;
    const Script& script = Current();
    DDSURFACEDESC2 made = *desc;
    const bool primary = (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
    if (primary) {
      made.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
      made.dwWidth = script.width;
      made.dwHeight = script.height;
      made.lPitch = script.pitch;
      made.ddpfPixelFormat = PrimaryFormat(script.bpp);
      *surface = new Surface("primary", this, made, nullptr);
    } else {
      *surface = new Surface("sysmem", this, made, desc->lpSurface);
    }
    return result;
  }

  // The slots MORVIT never calls.
  HRESULT MORVIT_STDCALL Compact() override { return Unused("Compact"); }
  HRESULT MORVIT_STDCALL CreateClipper() override { return Unused("CreateClipper"); }
  HRESULT MORVIT_STDCALL CreatePalette() override { return Unused("CreatePalette"); }
  HRESULT MORVIT_STDCALL DuplicateSurface() override { return Unused("DuplicateSurface"); }
  HRESULT MORVIT_STDCALL EnumDisplayModes() override { return Unused("EnumDisplayModes"); }
  HRESULT MORVIT_STDCALL EnumSurfaces() override { return Unused("EnumSurfaces"); }
  HRESULT MORVIT_STDCALL FlipToGDISurface() override { return Unused("FlipToGDISurface"); }
  HRESULT MORVIT_STDCALL GetCaps() override { return Unused("GetCaps"); }
  HRESULT MORVIT_STDCALL GetDisplayMode() override { return Unused("GetDisplayMode"); }
  HRESULT MORVIT_STDCALL GetFourCCCodes() override { return Unused("GetFourCCCodes"); }
  HRESULT MORVIT_STDCALL GetGDISurface() override { return Unused("GetGDISurface"); }
  HRESULT MORVIT_STDCALL GetMonitorFrequency() override { return Unused("GetMonitorFrequency"); }
  HRESULT MORVIT_STDCALL GetScanLine() override { return Unused("GetScanLine"); }
  HRESULT MORVIT_STDCALL GetVerticalBlankStatus() override { return Unused("GetVerticalBlankStatus"); }
  HRESULT MORVIT_STDCALL Initialize() override { return Unused("Initialize"); }
  HRESULT MORVIT_STDCALL RestoreDisplayMode() override { return Unused("RestoreDisplayMode"); }

 private:
  // The request as the record shows it: the description's size and flags, and the fields they make valid.
  static std::string RequestText(const DDSURFACEDESC2& desc) {
    std::string text = "size=" + std::to_string(desc.dwSize) + " flags=" + FlagsText(desc.dwFlags, kDescriptionFlags);
    if ((desc.dwFlags & DDSD_CAPS) != 0) text += " caps=" + FlagsText(desc.ddsCaps.dwCaps, kCapabilities);
    if ((desc.dwFlags & DDSD_WIDTH) != 0) text += " width=" + std::to_string(desc.dwWidth);
    if ((desc.dwFlags & DDSD_HEIGHT) != 0) text += " height=" + std::to_string(desc.dwHeight);
    if ((desc.dwFlags & DDSD_PITCH) != 0) text += " pitch=" + std::to_string(desc.lPitch);
    if ((desc.dwFlags & DDSD_PIXELFORMAT) != 0) {
      text += " format=" + std::to_string(desc.ddpfPixelFormat.dwRGBBitCount) + "bpp";
    }
    if ((desc.dwFlags & DDSD_LPSURFACE) != 0) text += " memory=" + PointerText(desc.lpSurface);
    return text;
  }

  HRESULT Refusal(const DDSURFACEDESC2* desc, IDirectDrawSurface7** surface) const {
    if (Gone("CreateSurface")) return kInvalidObject;
    if (desc == nullptr || surface == nullptr || desc->dwSize != kSurfaceDescSize) return kInvalidParams;
    if (!cooperativeLevelSet_) return kNoCooperativeLevelSet;
    if ((desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0) return DD_OK;
    // The primary's format is the only one a surface over the caller's memory may have.
    const DDPIXELFORMAT primary = PrimaryFormat(Current().bpp);
    if (std::memcmp(&desc->ddpfPixelFormat, &primary, sizeof primary) != 0) return kInvalidPixelFormat;
    return DD_OK;
  }

  bool cooperativeLevelSet_ = false;
};

HRESULT Surface::Usable(const char* method) const {
  if (Gone(method)) return kInvalidObject;
  if (owner_->Released()) {
    Log(std::string("! ") + method + " on " + Name() + " after its DirectDraw object was released");
    return kSurfaceLost;
  }
  return DD_OK;
}

}  // namespace

extern "C" HRESULT MORVIT_STDCALL DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, void* context, DWORD flags) {
  const Call call("DirectDrawEnumerateExA", "-");
  HRESULT result = DD_OK;
  if (callback == nullptr) result = kInvalidParams;
  const std::string arguments = "callback=" + PointerText(reinterpret_cast<const void*>(callback)) +
                                " context=" + PointerText(context) + " flags=" + FlagsText(flags, kEnumerationFlags);
  result = call.Done(result, arguments);
  if (call.Scripted() || result != DD_OK) return result;
  // Copies that live for the callback only, as a driver's would.
  for (Device device : Current().devices) {
    GUID* guid = nullptr;
    if (device.hasGuid) guid = &device.guid;
    // ddraw.dll's frames carry no unwind data for the caller's exceptions: one thrown out of the callback
    // cannot pass through them. It is recorded here and goes no further.
    try {
      if (callback(guid, device.description.data(), device.name.data(), context, nullptr) == 0) break;
    } catch (...) {
      Log("! a failure thrown out of the enumeration callback");
      break;
    }
  }
  return result;
}

extern "C" HRESULT MORVIT_STDCALL DirectDrawCreateEx(GUID* guid, void** directDraw, const GUID& iid, IUnknown* outer) {
  const Call call("DirectDrawCreateEx", "-");
  HRESULT result = DD_OK;
  if (directDraw == nullptr) result = kInvalidParams;
  std::string iidName = GuidText(&iid);
  if (SameGuid(iid, IID_IDirectDraw7)) iidName = "IID_IDirectDraw7";
  result = call.Done(result, "guid=" + GuidText(guid) + " iid=" + iidName + " outer=" + PointerText(outer));
  if (directDraw == nullptr) return result;
  *directDraw = nullptr;
  if (!call.Scripted() && result == DD_OK) *directDraw = static_cast<IDirectDraw7*>(new DirectDraw);
  return result;
}

// For tests that run the display code in their own process: a line of theirs among the calls.
extern "C" void NoteInRecord(const char* line) { Log(line); }

// For tests that run the display code in their own process: reads the script and opens the record again,
// numbering calls from 1. Objects made before stay alive and keep their state.
extern "C" void RestartDouble() {
  Script* old = CurrentScript();
  if (old != nullptr && old->log != nullptr) std::fclose(old->log);
  if (old != nullptr) old->log = nullptr;
  Kept().push_back(old);
  CurrentScript() = nullptr;
  Current();
}
