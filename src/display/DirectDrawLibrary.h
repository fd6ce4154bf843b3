#pragma once
// ddraw.dll, looked up at run time: a system without DirectDraw 7 (Windows 98 SE as shipped has no
// DirectDrawCreateEx) then gets the program's own report instead of the loader's refusal to start it.

#include "display/DirectDraw.h"

namespace morvit {

// Loads ddraw.dll and looks up its two entry points, DirectDrawEnumerateExA first. Raises
// "DirectDraw 7 not available [ddraw.dll]" when the library cannot be loaded, and
// "DirectDraw 7 not available [NAME]" naming the first entry point it lacks. The library stays loaded for
// the rest of the process.
void LoadDirectDraw();

// The entry points, null until LoadDirectDraw has found them.
extern DirectDrawEnumerateExAFunction DirectDrawEnumerateExA;
extern DirectDrawCreateExFunction DirectDrawCreateEx;

}  // namespace morvit
