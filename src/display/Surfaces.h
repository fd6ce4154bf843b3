#pragma once
// The device and surface steps of the run: open the selected device, create the primary surface and a
// system-memory surface of the same geometry over the program's own buffer, lock and unlock the
// primary. Each prints its line with the result text; a false result ends the run quietly.

#include "display/ComReference.h"
#include "display/DirectDraw.h"

namespace morvit {

struct RunState;

bool OpenDevice(RunState& state, ComReference<IDirectDraw7>& directDraw);
bool CreatePrimarySurface(RunState& state, IDirectDraw7* directDraw, ComReference<IDirectDrawSurface7>& primary);
bool CreateSysMemSurface(RunState& state, IDirectDraw7* directDraw, ComReference<IDirectDrawSurface7>& sysMem);
// On success SurfaceDesc.lpSurface is the primary's memory until UnlockPrimary.
bool LockPrimary(RunState& state, IDirectDrawSurface7* primary);
void UnlockPrimary(RunState& state, IDirectDrawSurface7* primary);

}  // namespace morvit
