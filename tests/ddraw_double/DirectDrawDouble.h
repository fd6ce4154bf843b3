#pragma once
// A scripted stand-in for ddraw.dll: it lists the devices a script names, opens one, hands out a
// primary surface of the script's geometry over a buffer of its own and system-memory surfaces over
// the caller's memory, copies for real on Blt, and records every call with its arguments, result and
// reference count. The same code is linked into native tests and built as a Win32 ddraw.dll.
//
// Script lines (blank lines and lines starting with # are skipped; %HH in a text stands for byte HH,
// so %20 is a blank and %25 a percent sign):
//   device <{GUID}|none> <description> <name>   the first one replaces the default device list
//   no-devices                                   an empty device list
//   surface <width> <height> <pitch> <bpp>       the primary's geometry
//   fail <call> <hex code>                       the call with that number does nothing and returns code
//   success-code <call> <hex code>               the call works and returns that non-negative code
//   fault-lock                                   locks of the primary hand out an unmapped address
// Calls are numbered from 1 over every entry point and method except AddRef and Release. Without a
// script the double looks like Wine's DirectDraw: two devices, a 1024 x 768, 32 bpp primary.
//
// Record lines: "<number> <Call> <key=value>... -> <8 hex digits>[ injected][ <key=value>...]" for
// numbered calls; "- AddRef|Release <kind>=<name> refs=<n>" and "- EnumCallback device=<i> ->
// <returned BOOL>" for the rest; "! <text>" for a misuse (a call on a destroyed object, an unused
// method); "# <text>" for a test's own notes; at the end of the process "- Leak <kind>=<name> refs=<n>", "- StillLocked surface=<name>"
// and "- End leaks=<n>".

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "display/DirectDraw.h"

namespace morvit::ddraw_double {

struct Device {
  bool hasGuid = false;
  GUID guid = {};
  std::string description;
  std::string name;
};

struct Script {
  std::vector<Device> devices;
  DWORD width = 1024;
  DWORD height = 768;
  LONG pitch = 4096;
  DWORD bitsPerPixel = 32;
  std::vector<std::pair<int, HRESULT>> forcedResults;  // call number, result
  bool faultingLock = false;
};

// The unmapped address a faulting lock hands out.
constexpr uintptr_t kFaultingAddress = 0x10;

// Wine's two devices and its 1024 x 768 x 32 bpp primary.
Script DefaultScript();
// Parses the text form above; false with a message for the first line it cannot read.
bool ParseScript(const std::string& text, Script& script, std::string& error);

// Starts over with a script: no objects, an empty record, call numbering from 1. Objects handed out
// before stay valid to call, so that a faulty caller shows up in the record instead of crashing.
void Configure(const Script& script);
// Configure(DefaultScript() changed by the text); a script that does not parse fails the process.
void ConfigureFromText(const std::string& text);

const std::vector<std::string>& Record();
std::string RecordText();  // the record lines, each ended by "\n"
// Adds "# <text>" to the record, so that a test can interleave its own events (output) with the calls.
void Note(const std::string& text);
// Whether a forced failure was returned since Configure.
bool FailureFired();
// How many numbered calls were made since Configure.
int CallCount();
// "<kind>=<name> refs=<n>" of every object created since Configure and not yet destroyed.
std::vector<std::string> LiveObjects();
// The GUID address the last DirectDrawCreateEx received.
const void* LastCreateGuidAddress();
// The primary surface's own memory while it exists (null otherwise), and its size in bytes.
const unsigned char* PrimaryMemory();
size_t PrimaryBytes();
// The word sum of a memory block as the record's sum= fields show it.
uint32_t Checksum(const void* memory, size_t bytes);

}  // namespace morvit::ddraw_double
