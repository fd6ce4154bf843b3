#pragma once

namespace morvit {

// The whole benchmark run: header, settings, device listing, surfaces, memory and blit tests.
void RunBenchmark();

// The entry point's work once the arguments are set: the usage text, or the run between COM start
// and stop.
void ProgramMain();

}  // namespace morvit
