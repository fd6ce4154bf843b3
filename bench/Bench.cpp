// Memory bandwidth of the six transfer kernels as the program's timed section reports it, checked
// against an independent clock around the same passes, next to the C++ library's block copy, block
// fill and a plain read loop over the same buffers. Not a test: its numbers depend on the machine.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/RunState.h"
#include "console/Failure.h"
#include "console/FailureReport.h"
#include "console/OutputChannel.h"
#include "measure/MorvitUtl.h"
#include "measure/TimedSection.h"
#include "platform/Fpu.h"
#include "platform/Platform.h"

namespace {

using Clock = std::chrono::steady_clock;
using morvit::RunState;

// Each measurement runs about this long, so that a clock read costs far below 1 % of it.
constexpr double kTargetSeconds = 0.5;
constexpr double kAgreement = 0.01;

// The report lines of the timed section, caught from the output channel as a console would show them
// (one platform write per statement).
std::string& Captured() {
  static std::string text;
  return text;
}
morvit::platform::StandardOutput OpenConsole() { return {true, morvit::platform::StreamKind::Character}; }
int32_t Capture(const char* bytes, size_t count) {
  Captured().append(bytes, count);
  return 0;
}

// The rate field of the last report line: the second field after the column header.
int64_t ReportedRate(std::string* line) {
  const std::string& text = Captured();
  size_t end = text.rfind("\r\n");
  size_t begin = text.rfind("\r\n", end - 1);
  begin = begin == std::string::npos ? 0 : begin + 2;
  *line = text.substr(begin, end - begin);
  size_t header = line->find("): ");
  double seconds = 0;
  long long rate = 0;
  if (header == std::string::npos || std::sscanf(line->c_str() + header + 3, "%lf %lld", &seconds, &rate) != 2) {
    std::fprintf(stderr, "unreadable report line: %s\n", line->c_str());
    std::exit(2);
  }
  return rate;
}

enum class Work { ReadD, WriteD, CopyD, ReadQ, WriteQ, CopyQ, Memcpy, Memset, ReadLoop };
const char* const kNames[] = {"ReadDWords", "WriteDWords", "CopyDWords", "ReadQWords",   "WriteQWords",
                              "CopyQWords", "memcpy",      "memset",     "C++ read loop"};

volatile uint64_t readLoopSink;

void Pass(Work work, const RunState& state, void* source, void* destination) {
  const int32_t dwords = static_cast<int32_t>(state.DwordCount);
  const int32_t qwords = static_cast<int32_t>(state.DwordCount >> 1);
  const size_t bytes = static_cast<size_t>(state.DwordCount) * 4;
  switch (work) {
    case Work::ReadD:
      morvit::ReadDWords(source, dwords);
      break;
    case Work::WriteD:
      morvit::WriteDWords(destination, dwords, state.FillValue);
      break;
    case Work::CopyD:
      morvit::CopyDWords(source, destination, dwords);
      break;
    case Work::ReadQ:
      morvit::ReadQWords(source, qwords);
      break;
    case Work::WriteQ:
      morvit::WriteQWords(destination, qwords, 0);
      break;
    case Work::CopyQ:
      morvit::CopyQWords(source, destination, qwords);
      break;
    case Work::Memcpy:
      std::memcpy(destination, source, bytes);
      break;
    case Work::Memset:
      std::memset(destination, 0, bytes);
      break;
    case Work::ReadLoop: {
      const uint32_t* words = static_cast<const uint32_t*>(source);
      uint64_t sum = 0;
      for (int32_t i = 0; i < dwords; ++i) sum += words[i];
      readLoopSink = sum;
      break;
    }
  }
}

int32_t PassesFor(Work work, RunState& state, void* source, void* destination) {
  const Clock::time_point start = Clock::now();
  Pass(work, state, source, destination);
  const double once = std::chrono::duration<double>(Clock::now() - start).count();
  const double passes = kTargetSeconds / (once > 1e-7 ? once : 1e-7);
  return passes < 1 ? 1 : passes > 1e6 ? 1000000 : static_cast<int32_t>(passes);
}

bool Measure(Work work, RunState& state, void* source, void* destination, const char* size) {
  const int32_t passes = PassesFor(work, state, source, destination);
  const std::string label = std::string(kNames[static_cast<int>(work)]) + " " + size;
  morvit::BeginTest(state, label);
  const Clock::time_point start = Clock::now();
  for (int32_t pass = 0; pass < passes; ++pass) Pass(work, state, source, destination);
  const Clock::time_point stop = Clock::now();
  morvit::EndTest(state, passes);

  std::string line;
  const double reported = static_cast<double>(ReportedRate(&line));
  const double seconds = std::chrono::duration<double>(stop - start).count();
  const double independent = static_cast<double>(state.DwordCount) * 4.0 * passes / seconds;
  const double difference = (reported - independent) / independent;
  const bool agrees = difference < kAgreement && difference > -kAgreement;
  std::printf("| %-7s | %-13s | %6d | %12.1f | %10.1f | %+8.3f %% | %-5s |\n", size, kNames[static_cast<int>(work)],
              passes, reported / 1e6, independent / 1e6, difference * 100, agrees ? "ok" : "FAIL");
  return agrees;
}

}  // namespace

int main() {
  using namespace morvit;
  platform::CurrentServices().openStandardOutput = &OpenConsole;
  platform::CurrentServices().writeStandardOutput = &Capture;
  InstallFailureHandlers();
  platform::FaultConversion faultConversion;
  platform::LoadControlWord(platform::kProgramControlWord);

  RunState state;
  std::memset(&state, 0, sizeof state);
  platform::QueryFrequency(state.Frequency);

  std::printf("| buffer  | work          | passes | EndTest MB/s | clock MB/s | difference | check |\n");
  std::printf("|---------|---------------|--------|--------------|------------|------------|-------|\n");
  bool allAgree = true;
  const struct {
    int32_t bytes;
    const char* name;
  } sizes[] = {{3 << 20, "3 MiB"}, {256 << 20, "256 MiB"}};
  try {
    for (const auto& size : sizes) {
      void* source = nullptr;
      void* destination = nullptr;
      AllocPages(source, size.bytes);
      AllocPages(destination, size.bytes);
      // Commit every page before timing: the bandwidth, not the first touch, is measured here.
      std::memset(source, 0x5A, static_cast<size_t>(size.bytes));
      std::memset(destination, 0, static_cast<size_t>(size.bytes));
      state.DwordCount = static_cast<uint32_t>(size.bytes) / 4;
      for (int work = 0; work <= static_cast<int>(Work::ReadLoop); ++work) {
        allAgree &= Measure(static_cast<Work>(work), state, source, destination, size.name);
      }
      FreePages(destination);
      FreePages(source);
    }
  } catch (const Failure& failure) {
    std::fprintf(stderr, "%s: %s\n", failure.ClassName().c_str(), failure.Message().c_str());
    return 2;
  }
  std::fflush(stdout);
  if (!allAgree) {
    std::fprintf(stderr, "reported and independent rates differ by 1 %% or more (marked FAIL)\n");
    return 1;
  }
  return 0;
}
