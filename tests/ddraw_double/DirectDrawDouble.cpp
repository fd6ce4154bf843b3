#include "DirectDrawDouble.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

namespace morvit::ddraw_double {

namespace {

constexpr HRESULT E_NOTIMPL_ = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE_ = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT CLASS_E_NOAGGREGATION_ = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT DDERR_INVALIDPARAMS_ = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_INVALIDOBJECT_ = static_cast<HRESULT>(0x88760082u);
constexpr HRESULT DDERR_INVALIDDIRECTDRAWGUID_ = static_cast<HRESULT>(0x88760231u);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS_ = static_cast<HRESULT>(0x88760234u);

std::string Hex(uint32_t value) {
  char text[12];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

std::string Pointer(const void* pointer) {
  if (pointer == nullptr) return "null";
  char text[24];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
  return text;
}

std::string GuidString(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

bool ParseGuid(const std::string& text, GUID& guid) {
  unsigned d1, d2, d3, b[8];
  char close = 0;
  if (text.size() != 38 ||
      std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%c", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3],
                  &b[4], &b[5], &b[6], &b[7], &close) != 12 ||
      close != '}') {
    return false;
  }
  guid.Data1 = d1;
  guid.Data2 = static_cast<uint16_t>(d2);
  guid.Data3 = static_cast<uint16_t>(d3);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<uint8_t>(b[i]);
  return true;
}

bool Unescape(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    unsigned byte = 0;
    if (i + 2 >= text.size() || std::sscanf(text.substr(i + 1, 2).c_str(), "%2x", &byte) != 1) return false;
    out += static_cast<char>(byte);
    i += 2;
  }
  return true;
}

class Object;
class Surface;

struct State {
  bool configured = false;
  bool fromEnvironment = false;
  Script script;
  std::vector<std::string> record;
  int calls = 0;
  bool fired = false;
  std::FILE* log = nullptr;
  std::vector<Object*> objects;  // of this configuration, in creation order
  std::vector<std::unique_ptr<Object>> everything;  // kept for the process: callers may hold stale pointers
  const void* lastGuidAddress = nullptr;
  Surface* primary = nullptr;
  int surfaceCount = 0;
  int directDrawCount = 0;
};

State& Current() {
  // Never destroyed: the end-of-process summary and late calls still find it.
  static State* state = new State;
  return *state;
}

void Log(const std::string& line) {
  State& s = Current();
  s.record.push_back(line);
  if (s.log != nullptr) {
    std::fputs(line.c_str(), s.log);
    std::fputc('\n', s.log);
    std::fflush(s.log);
  }
}

void EnsureConfigured();

// One numbered call: its number, and the result the script forces on it, if any.
struct Call {
  int number = 0;
  bool forced = false;
  HRESULT code = DD_OK;

  bool ForcedFailure() const { return forced && Failed(code); }
  // The result to return when the work itself gave result.
  HRESULT Outcome(HRESULT result) const { return forced && !Failed(result) ? code : result; }
};

Call NextCall() {
  EnsureConfigured();
  State& s = Current();
  Call call;
  call.number = ++s.calls;
  for (const auto& [number, code] : s.script.forcedResults) {
    if (number == call.number) {
      call.forced = true;
      call.code = code;
    }
  }
  if (call.ForcedFailure()) s.fired = true;
  return call;
}

std::string Head(const Call& call, const std::string& text) { return std::to_string(call.number) + " " + text; }

std::string Injected(const Call& call) { return " -> " + Hex(static_cast<uint32_t>(call.code)) + " injected"; }

std::string Result(HRESULT result) { return " -> " + Hex(static_cast<uint32_t>(result)); }

class Object {
 public:
  Object(std::string kind, std::string name) : kind_(std::move(kind)), name_(std::move(name)) {}
  virtual ~Object() = default;
  std::string Id() const { return kind_ + "=" + name_; }
  const std::string& Name() const { return name_; }
  bool Alive() const { return refs_ > 0; }
  ULONG Refs() const { return refs_; }

 protected:
  ULONG DoAddRef() {
    EnsureConfigured();
    if (!Alive()) {
      Log("! AddRef on destroyed " + Id());
      return 0;
    }
    ++refs_;
    Log("- AddRef " + Id() + " refs=" + std::to_string(refs_));
    return refs_;
  }
  ULONG DoRelease() {
    EnsureConfigured();
    if (!Alive()) {
      Log("! Release of destroyed " + Id());
      return 0;
    }
    --refs_;
    Log("- Release " + Id() + " refs=" + std::to_string(refs_));
    if (refs_ == 0) Destroy();
    return refs_;
  }
  HRESULT DoQueryInterface(const GUID& iid, void** object) {
    Call call = NextCall();
    std::string line = Head(call, "QueryInterface " + Id() + " iid=" + GuidString(iid));
    if (object != nullptr) *object = nullptr;
    if (call.ForcedFailure()) {
      Log(line + Injected(call));
      return call.code;
    }
    Log(line + Result(E_NOINTERFACE_));
    return E_NOINTERFACE_;
  }
  HRESULT Unused(const char* method) {
    Log("! unused method " + std::string(method) + " of " + Id());
    return E_NOTIMPL_;
  }
  // A call on an object whose last reference is gone.
  bool Stale(const std::string& line) {
    if (Alive()) return false;
    Log("! call on destroyed " + Id() + ": " + line);
    return true;
  }
  virtual void Destroy() {}

 private:
  std::string kind_;
  std::string name_;
  ULONG refs_ = 1;
};

#define DOUBLE_UNUSED(name) \
  HRESULT MORVIT_STDCALL name() override { return Unused(#name); }

class Surface final : public IDirectDrawSurface7, public Object {
 public:
  Surface(std::string name, const DDSURFACEDESC2& desc, unsigned char* memory, bool ownMemory, bool primary)
      : Object("surface", std::move(name)), desc_(desc), memory_(memory), ownMemory_(ownMemory), primary_(primary) {}

  HRESULT MORVIT_STDCALL QueryInterface(const GUID& iid, void** object) override {
    return DoQueryInterface(iid, object);
  }
  ULONG MORVIT_STDCALL AddRef() override { return DoAddRef(); }
  ULONG MORVIT_STDCALL Release() override { return DoRelease(); }

  DOUBLE_UNUSED(AddAttachedSurface)
  DOUBLE_UNUSED(AddOverlayDirtyRect)
  DOUBLE_UNUSED(BltBatch)
  DOUBLE_UNUSED(BltFast)
  DOUBLE_UNUSED(DeleteAttachedSurface)
  DOUBLE_UNUSED(EnumAttachedSurfaces)
  DOUBLE_UNUSED(EnumOverlayZOrders)
  DOUBLE_UNUSED(Flip)
  DOUBLE_UNUSED(GetAttachedSurface)
  DOUBLE_UNUSED(GetBltStatus)
  DOUBLE_UNUSED(GetCaps)
  DOUBLE_UNUSED(GetClipper)
  DOUBLE_UNUSED(GetColorKey)
  DOUBLE_UNUSED(GetDC)
  DOUBLE_UNUSED(GetFlipStatus)
  DOUBLE_UNUSED(GetOverlayPosition)
  DOUBLE_UNUSED(GetPalette)
  DOUBLE_UNUSED(GetPixelFormat)
  DOUBLE_UNUSED(Initialize)
  DOUBLE_UNUSED(IsLost)
  DOUBLE_UNUSED(ReleaseDC)
  DOUBLE_UNUSED(Restore)
  DOUBLE_UNUSED(SetClipper)
  DOUBLE_UNUSED(SetColorKey)
  DOUBLE_UNUSED(SetOverlayPosition)
  DOUBLE_UNUSED(SetPalette)

  HRESULT MORVIT_STDCALL Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags,
                             void* bltFx) override {
    Call call = NextCall();
    Surface* from = static_cast<Surface*>(source);
    std::string line = Head(call, "Blt target=" + Name() + " source=" + (from ? from->Name() : "null") +
                                      " flags=" + Hex(flags) + " rect=" + Pointer(destRect) +
                                      " srcrect=" + Pointer(sourceRect) + " fx=" + Pointer(bltFx));
    if (call.ForcedFailure()) {
      Log(line + Injected(call));
      return call.code;
    }
    if (Stale(line)) return DDERR_INVALIDOBJECT_;
    if (from == nullptr) {
      Log(line + Result(DDERR_INVALIDPARAMS_));
      return DDERR_INVALIDPARAMS_;
    }
    if (from->Stale(line)) return DDERR_INVALIDOBJECT_;
    if (locked_ || from->locked_) {
      Log(line + Result(DDERR_SURFACEBUSY));
      return DDERR_SURFACEBUSY;
    }
    size_t bytes = Bytes() < from->Bytes() ? Bytes() : from->Bytes();
    std::memmove(memory_, from->memory_, bytes);
    HRESULT result = call.Outcome(DD_OK);
    Log(line + Result(result) + " bytes=" + std::to_string(bytes) + " sum=" + Hex(Checksum(memory_, bytes)));
    return result;
  }

  HRESULT MORVIT_STDCALL GetSurfaceDesc(DDSURFACEDESC2* desc) override {
    Call call = NextCall();
    std::string line = Head(call, "GetSurfaceDesc surface=" + Name() + " size=" + SizeText(desc));
    if (call.ForcedFailure()) {
      Log(line + Injected(call));
      return call.code;
    }
    if (Stale(line)) return DDERR_INVALIDOBJECT_;
    if (desc == nullptr || desc->dwSize != kSurfaceDescSize) {
      Log(line + Result(DDERR_INVALIDPARAMS_));
      return DDERR_INVALIDPARAMS_;
    }
    FillDescription(*desc, nullptr);
    HRESULT result = call.Outcome(DD_OK);
    Log(line + Result(result));
    return result;
  }

  HRESULT MORVIT_STDCALL Lock(RECT* destRect, DDSURFACEDESC2* desc, DWORD flags, void* event) override {
    Call call = NextCall();
    std::string line = Head(call, "Lock surface=" + Name() + " rect=" + Pointer(destRect) + " flags=" + Hex(flags) +
                                      " event=" + Pointer(event) + " size=" + SizeText(desc));
    if (call.ForcedFailure()) {
      Log(line + Injected(call));
      return call.code;
    }
    if (Stale(line)) return DDERR_INVALIDOBJECT_;
    if (desc == nullptr || desc->dwSize != kSurfaceDescSize) {
      Log(line + Result(DDERR_INVALIDPARAMS_));
      return DDERR_INVALIDPARAMS_;
    }
    if (locked_) {
      Log(line + Result(DDERR_SURFACEBUSY));
      return DDERR_SURFACEBUSY;
    }
    locked_ = true;
    void* address = memory_;
    if (primary_ && Current().script.faultingLock) address = reinterpret_cast<void*>(kFaultingAddress);
    FillDescription(*desc, address);
    HRESULT result = call.Outcome(DD_OK);
    Log(line + Result(result) + " memory=" + Pointer(address) + " pitch=" + std::to_string(desc_.lPitch));
    return result;
  }

  HRESULT MORVIT_STDCALL Unlock(RECT* rect) override {
    Call call = NextCall();
    std::string line = Head(call, "Unlock surface=" + Name() + " rect=" + Pointer(rect));
    if (call.ForcedFailure()) {
      Log(line + Injected(call));
      return call.code;
    }
    if (Stale(line)) return DDERR_INVALIDOBJECT_;
    if (!locked_) {
      Log(line + Result(DDERR_NOTLOCKED));
      return DDERR_NOTLOCKED;
    }
    locked_ = false;
    HRESULT result = call.Outcome(DD_OK);
    Log(line + Result(result));
    return result;
  }

  bool Locked() const { return locked_; }
  const unsigned char* Memory() const { return Alive() ? memory_ : nullptr; }
  size_t Bytes() const { return static_cast<size_t>(static_cast<uint32_t>(desc_.lPitch)) * desc_.dwHeight; }

 private:
  static std::string SizeText(const DDSURFACEDESC2* desc) {
    return desc == nullptr ? std::string("null") : std::to_string(desc->dwSize);
  }
  void FillDescription(DDSURFACEDESC2& desc, void* address) const {
    DWORD size = desc.dwSize;
    desc = desc_;
    desc.dwSize = size;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.lpSurface = address;
    if (address != nullptr) desc.dwFlags |= DDSD_LPSURFACE;
  }
  void Destroy() override {
    if (ownMemory_) {
      delete[] memory_;
      memory_ = nullptr;
    }
    if (Current().primary == this) Current().primary = nullptr;
  }

  DDSURFACEDESC2 desc_;
  unsigned char* memory_;
  bool ownMemory_;
  bool primary_;
  bool locked_ = false;
};

class DirectDraw final : public IDirectDraw7, public Object {
 public:
  explicit DirectDraw(std::string name) : Object("directdraw", std::move(name)) {}

  HRESULT MORVIT_STDCALL QueryInterface(const GUID& iid, void** object) override {
    return DoQueryInterface(iid, object);
  }
  ULONG MORVIT_STDCALL AddRef() override { return DoAddRef(); }
  ULONG MORVIT_STDCALL Release() override { return DoRelease(); }

  DOUBLE_UNUSED(Compact)
  DOUBLE_UNUSED(CreateClipper)
  DOUBLE_UNUSED(CreatePalette)
  DOUBLE_UNUSED(DuplicateSurface)
  DOUBLE_UNUSED(EnumDisplayModes)
  DOUBLE_UNUSED(EnumSurfaces)
  DOUBLE_UNUSED(FlipToGDISurface)
  DOUBLE_UNUSED(GetCaps)
  DOUBLE_UNUSED(GetDisplayMode)
  DOUBLE_UNUSED(GetFourCCCodes)
  DOUBLE_UNUSED(GetGDISurface)
  DOUBLE_UNUSED(GetMonitorFrequency)
  DOUBLE_UNUSED(GetScanLine)
  DOUBLE_UNUSED(GetVerticalBlankStatus)
  DOUBLE_UNUSED(Initialize)
  DOUBLE_UNUSED(RestoreDisplayMode)

  HRESULT MORVIT_STDCALL SetCooperativeLevel(void* window, DWORD flags) override {
    Call call = NextCall();
    std::string line = Head(call, "SetCooperativeLevel " + Id() + " window=" + Pointer(window) + " flags=" + Hex(flags));
    if (call.ForcedFailure()) {
      Log(line + Injected(call));
      return call.code;
    }
    if (Stale(line)) return DDERR_INVALIDOBJECT_;
    HRESULT result = call.Outcome(DD_OK);
    Log(line + Result(result));
    return result;
  }

  HRESULT MORVIT_STDCALL CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) override {
    Call call = NextCall();
    std::string line = Head(call, "CreateSurface " + Id());
    if (desc != nullptr) {
      line += " size=" + std::to_string(desc->dwSize) + " flags=" + Hex(desc->dwFlags) + " caps=" + Hex(desc->ddsCaps.dwCaps);
    } else {
      line += " desc=null";
    }
    line += " outer=" + Pointer(outer);
    if (surface != nullptr) *surface = nullptr;
    if (call.ForcedFailure()) {
      Log(line + Injected(call));
      return call.code;
    }
    if (Stale(line)) return DDERR_INVALIDOBJECT_;
    if (surface == nullptr || desc == nullptr || desc->dwSize != kSurfaceDescSize) {
      Log(line + Result(DDERR_INVALIDPARAMS_));
      return DDERR_INVALIDPARAMS_;
    }
    if (outer != nullptr) {
      Log(line + Result(CLASS_E_NOAGGREGATION_));
      return CLASS_E_NOAGGREGATION_;
    }
    State& s = Current();
    Surface* created = nullptr;
    if (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
      if (s.primary != nullptr) {
        Log(line + Result(DDERR_PRIMARYSURFACEALREADYEXISTS_));
        return DDERR_PRIMARYSURFACEALREADYEXISTS_;
      }
      DDSURFACEDESC2 geometry;
      std::memset(&geometry, 0, sizeof geometry);
      geometry.dwSize = kSurfaceDescSize;
      geometry.dwWidth = s.script.width;
      geometry.dwHeight = s.script.height;
      geometry.lPitch = s.script.pitch;
      geometry.ddpfPixelFormat.dwSize = 32;
      geometry.ddpfPixelFormat.dwFlags = 0x40;  // DDPF_RGB
      geometry.ddpfPixelFormat.dwRGBBitCount = s.script.bitsPerPixel;
      geometry.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
      size_t bytes = static_cast<size_t>(static_cast<uint32_t>(geometry.lPitch)) * geometry.dwHeight;
      unsigned char* memory = new unsigned char[bytes + 4];
      // A pattern no fill of the program makes, so that copies of it are recognisable.
      for (size_t i = 0; i < bytes; ++i) memory[i] = static_cast<unsigned char>((i * 31 + i / 4096 + 7) & 0xFF);
      created = new Surface("primary", geometry, memory, true, true);
      s.primary = created;
      line += Result(call.Outcome(DD_OK)) + " surface=primary";
    } else {
      bool complete = (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT)) ==
                      (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT);
      uint64_t rowBytes = static_cast<uint64_t>(desc->dwWidth) * desc->ddpfPixelFormat.dwRGBBitCount / 8;
      std::string geometry = " width=" + std::to_string(desc->dwWidth) + " height=" + std::to_string(desc->dwHeight) +
                             " pitch=" + std::to_string(desc->lPitch) +
                             " bpp=" + std::to_string(desc->ddpfPixelFormat.dwRGBBitCount) +
                             " memory=" + Pointer(desc->lpSurface);
      if (!complete || desc->dwWidth == 0 || desc->dwHeight == 0 || desc->lpSurface == nullptr ||
          desc->lPitch <= 0 || static_cast<uint64_t>(desc->lPitch) < rowBytes) {
        Log(line + geometry + Result(DDERR_INVALIDPARAMS_));
        return DDERR_INVALIDPARAMS_;
      }
      std::string name = s.surfaceCount == 0 ? "sysmem" : "surface" + std::to_string(s.surfaceCount + 1);
      ++s.surfaceCount;
      DDSURFACEDESC2 kept = *desc;
      kept.lpSurface = nullptr;
      created = new Surface(name, kept, static_cast<unsigned char*>(desc->lpSurface), false, false);
      line += geometry + Result(call.Outcome(DD_OK)) + " surface=" + name;
    }
    s.everything.emplace_back(static_cast<Object*>(created));
    s.objects.push_back(created);
    *surface = created;
    Log(line);
    return call.Outcome(DD_OK);
  }
};

void WriteSummary() {
  State& s = Current();
  int leaks = 0;
  for (Object* object : s.objects) {
    if (object->Alive()) {
      ++leaks;
      Log("- Leak " + object->Id() + " refs=" + std::to_string(object->Refs()));
    }
    if (auto* surface = dynamic_cast<Surface*>(object); surface != nullptr && surface->Alive() && surface->Locked()) {
      Log("- StillLocked " + object->Id());
    }
  }
  Log("- End leaks=" + std::to_string(leaks));
}

// At the end of the process (or when the dll is unloaded) the summary goes to the log.
struct EndOfProcess {
  ~EndOfProcess() {
    State& s = Current();
    if (s.fromEnvironment && s.log != nullptr) {
      WriteSummary();
      std::fclose(s.log);
      s.log = nullptr;
    }
  }
} endOfProcess;

std::string ReadFile(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "ddraw double: cannot open script %s\n", path);
    std::abort();
  }
  std::string text;
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
  std::fclose(file);
  return text;
}

void EnsureConfigured() {
  State& s = Current();
  if (s.configured) return;
  // Only the double reads the environment: it is the test's way to reach into a program run.
  const char* scriptPath = std::getenv("MORVIT_DDRAW_SCRIPT");
  ConfigureFromText(scriptPath != nullptr && *scriptPath != '\0' ? ReadFile(scriptPath) : std::string());
  s.fromEnvironment = true;
  const char* logPath = std::getenv("MORVIT_DDRAW_LOG");
  if (logPath != nullptr && *logPath != '\0') {
    s.log = std::fopen(logPath, "a");
    if (s.log == nullptr) {
      std::fprintf(stderr, "ddraw double: cannot open log %s\n", logPath);
      std::abort();
    }
  }
}

}  // namespace

Script DefaultScript() {
  Script script;
  Device hal;
  hal.description = "DirectDraw HAL";
  hal.name = "display";
  Device emulation;
  emulation.hasGuid = true;
  emulation.guid = {0x4D4F5256, 0x4954, 0x11D2, {0x80, 0x00, 0x44, 0x49, 0x53, 0x50, 0x4C, 0x31}};
  emulation.description = "WineD3D DirectDraw Emulation";
  emulation.name = "\\\\.\\DISPLAY1";
  script.devices = {hal, emulation};
  return script;
}

bool ParseScript(const std::string& text, Script& script, std::string& error) {
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  bool ownDevices = false;
  while (std::getline(lines, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string command;
    if (!(words >> command) || command[0] == '#') continue;
    auto fail = [&](const char* what) {
      error = "script line " + std::to_string(lineNumber) + ": " + what + ": " + line;
      return false;
    };
    if (command == "device" || command == "no-devices") {
      if (!ownDevices) script.devices.clear();
      ownDevices = true;
      if (command == "no-devices") continue;
      std::string guid, description, name;
      Device device;
      if (!(words >> guid >> description >> name)) return fail("device needs a GUID, a description and a name");
      if (guid != "none") {
        if (!ParseGuid(guid, device.guid)) return fail("bad GUID");
        device.hasGuid = true;
      }
      if (!Unescape(description, device.description) || !Unescape(name, device.name)) return fail("bad escape");
      script.devices.push_back(device);
    } else if (command == "surface") {
      long long width, height, pitch, bpp;
      if (!(words >> width >> height >> pitch >> bpp) || width <= 0 || height <= 0 || pitch <= 0 || bpp <= 0) {
        return fail("surface needs a positive width, height, pitch and bpp");
      }
      script.width = static_cast<DWORD>(width);
      script.height = static_cast<DWORD>(height);
      script.pitch = static_cast<LONG>(pitch);
      script.bitsPerPixel = static_cast<DWORD>(bpp);
    } else if (command == "fail" || command == "success-code") {
      int number = 0;
      std::string code;
      if (!(words >> number >> code) || number <= 0) return fail("needs a call number and a code");
      HRESULT value = static_cast<HRESULT>(std::strtoul(code.c_str(), nullptr, 16));
      if ((command == "fail") != Failed(value)) return fail("a failure needs the sign bit, a success code not");
      script.forcedResults.emplace_back(number, value);
    } else if (command == "fault-lock") {
      script.faultingLock = true;
    } else {
      return fail("unknown command");
    }
  }
  return true;
}

void Configure(const Script& script) {
  State& s = Current();
  s.configured = true;
  s.script = script;
  s.record.clear();
  s.calls = 0;
  s.fired = false;
  s.objects.clear();
  s.lastGuidAddress = nullptr;
  s.primary = nullptr;
  s.surfaceCount = 0;
  s.directDrawCount = 0;
}

void ConfigureFromText(const std::string& text) {
  Script script = DefaultScript();
  std::string error;
  if (!ParseScript(text, script, error)) {
    std::fprintf(stderr, "ddraw double: %s\n", error.c_str());
    std::abort();
  }
  Configure(script);
}

const std::vector<std::string>& Record() { return Current().record; }

std::string RecordText() {
  std::string text;
  for (const std::string& line : Current().record) text += line + "\n";
  return text;
}

void Note(const std::string& text) { Log("# " + text); }

bool FailureFired() { return Current().fired; }
int CallCount() { return Current().calls; }

std::vector<std::string> LiveObjects() {
  std::vector<std::string> live;
  for (Object* object : Current().objects) {
    if (object->Alive()) live.push_back(object->Id() + " refs=" + std::to_string(object->Refs()));
  }
  return live;
}

const void* LastCreateGuidAddress() { return Current().lastGuidAddress; }

const unsigned char* PrimaryMemory() { return Current().primary ? Current().primary->Memory() : nullptr; }
size_t PrimaryBytes() { return Current().primary ? Current().primary->Bytes() : 0; }

uint32_t Checksum(const void* memory, size_t bytes) {
  const unsigned char* p = static_cast<const unsigned char*>(memory);
  uint32_t sum = 0;
  for (size_t i = 0; i + 4 <= bytes; i += 4) {
    uint32_t word;
    std::memcpy(&word, p + i, 4);
    sum = sum * 31 + word;
  }
  for (size_t i = bytes / 4 * 4; i < bytes; ++i) sum = sum * 31 + p[i];
  return sum;
}

}  // namespace morvit::ddraw_double

using namespace morvit;
using namespace morvit::ddraw_double;

extern "C" {

HRESULT MORVIT_STDCALL DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, void* context, DWORD flags) {
  Call call = NextCall();
  std::string line = Head(call, "DirectDrawEnumerateExA context=" + Pointer(context) + " flags=" + Hex(flags));
  if (call.ForcedFailure()) {
    Log(line + Injected(call));
    return call.code;
  }
  if (callback == nullptr) {
    Log(line + Result(DDERR_INVALIDPARAMS_));
    return DDERR_INVALIDPARAMS_;
  }
  HRESULT result = call.Outcome(DD_OK);
  Log(line + Result(result) + " devices=" + std::to_string(Current().script.devices.size()));
  const std::vector<Device> devices = Current().script.devices;
  for (size_t i = 0; i < devices.size(); ++i) {
    // Copies that live only for the callback: a caller that keeps the pointers reads garbage later.
    GUID guid = devices[i].guid;
    std::vector<char> description(devices[i].description.begin(), devices[i].description.end());
    description.push_back('\0');
    std::vector<char> name(devices[i].name.begin(), devices[i].name.end());
    name.push_back('\0');
    BOOL more = callback(devices[i].hasGuid ? &guid : nullptr, description.data(), name.data(), context, nullptr);
    std::memset(&guid, 0xDD, sizeof guid);
    std::memset(description.data(), 0xDD, description.size());
    std::memset(name.data(), 0xDD, name.size());
    Log("- EnumCallback device=" + std::to_string(i) + Result(static_cast<HRESULT>(more)));
    if (more == 0) break;
  }
  return result;
}

HRESULT MORVIT_STDCALL DirectDrawCreateEx(GUID* guid, void** directDraw, const GUID& iid, IUnknown* outer) {
  Call call = NextCall();
  State& s = Current();
  s.lastGuidAddress = guid;
  bool iidMatches = std::memcmp(&iid, &IID_IDirectDraw7, sizeof iid) == 0;
  std::string line = Head(call, "DirectDrawCreateEx guid=" + (guid ? GuidString(*guid) : std::string("null")) +
                                    " iid=" + (iidMatches ? std::string("IID_IDirectDraw7") : GuidString(iid)) +
                                    " outer=" + Pointer(outer));
  if (directDraw != nullptr) *directDraw = nullptr;
  if (call.ForcedFailure()) {
    Log(line + Injected(call));
    return call.code;
  }
  if (directDraw == nullptr) {
    Log(line + Result(DDERR_INVALIDPARAMS_));
    return DDERR_INVALIDPARAMS_;
  }
  if (!iidMatches) {
    Log(line + Result(E_NOINTERFACE_));
    return E_NOINTERFACE_;
  }
  if (outer != nullptr) {
    Log(line + Result(CLASS_E_NOAGGREGATION_));
    return CLASS_E_NOAGGREGATION_;
  }
  std::string device = "default";
  static const GUID zero = {};
  if (guid != nullptr && std::memcmp(guid, &zero, sizeof zero) != 0) {
    device.clear();
    for (size_t i = 0; i < s.script.devices.size(); ++i) {
      if (s.script.devices[i].hasGuid && std::memcmp(guid, &s.script.devices[i].guid, sizeof *guid) == 0) {
        device = std::to_string(i);
      }
    }
    if (device.empty()) {
      Log(line + Result(DDERR_INVALIDDIRECTDRAWGUID_));
      return DDERR_INVALIDDIRECTDRAWGUID_;
    }
  }
  std::string name = s.directDrawCount == 0 ? "ddraw" : "ddraw" + std::to_string(s.directDrawCount + 1);
  ++s.directDrawCount;
  auto* created = new morvit::ddraw_double::DirectDraw(name);
  s.everything.emplace_back(static_cast<Object*>(created));
  s.objects.push_back(created);
  *directDraw = static_cast<IDirectDraw7*>(created);
  HRESULT result = call.Outcome(DD_OK);
  Log(line + Result(result) + " directdraw=" + name + " device=" + device);
  return result;
}

}  // extern "C"
