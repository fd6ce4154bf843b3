#pragma once
// Whole-surface blits between the primary and the system-memory surface, made once and then timed.

#include <cstdint>
#include <string_view>

#include "display/DirectDraw.h"

namespace morvit {

struct RunState;

// Returns when the surface's pending operations are done: a waiting lock, unlocked at once.
// Raises when the lock or the unlock fails.
void WaitForOpComplete(IDirectDrawSurface7* surface);

// One untimed blit from source to target; its result line when it failed or performance tests are
// off, otherwise count timed blits between BeginTest and EndTest. Raises when a timed blit or a
// wait fails.
void TestBlt(IDirectDrawSurface7* source, IDirectDrawSurface7* target, int32_t count, std::string_view label,
             RunState& state);

}  // namespace morvit
