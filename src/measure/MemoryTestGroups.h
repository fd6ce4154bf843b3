#pragma once
// The system-memory and video-memory test groups.

namespace morvit {

struct RunState;

// Reading, filling and copying SysMemBuffer.
void SysMemTests(RunState& state);
// Reading and filling the locked primary's memory (SurfaceDesc.lpSurface) and copying between it
// and SysMemBuffer.
void VideoMemTests(RunState& state);

}  // namespace morvit
