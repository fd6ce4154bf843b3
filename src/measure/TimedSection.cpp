#include "measure/TimedSection.h"

#include "app/RunState.h"
#include "console/OutputChannel.h"
#include "platform/Fpu.h"
#include "platform/Platform.h"

namespace morvit {

namespace {

// Labels up to this many characters put the report fields of every test in column 45.
constexpr int32_t kLabelColumns = 26;
constexpr double kShortTestSeconds = 0.5;
constexpr int64_t kMega = 1000000;
constexpr int64_t kGiga = 1000000000;

// The quotient of the 80-bit division rounded to double. Through memory, because i686 code may keep
// a double in an x87 register with its full 64-bit significand.
double RoundToDouble(long double value) {
  volatile double stored = static_cast<double>(value);
  return stored;
}

// The only conversion of the program that truncates: the rounding control is toward zero for the
// FISTP alone. If the conversion faults, the fault handlers reload the program's control word.
int64_t TruncateToInt64(long double value) {
  const uint16_t saved = platform::StoreControlWord();
  platform::LoadControlWord(
      static_cast<uint16_t>((saved & ~platform::kRoundingControlMask) | platform::kRoundTowardZero));
  const int64_t result = platform::ConvertExtendedToInt64(value);
  platform::LoadControlWord(saved);
  return result;
}

// Whole units, half up for a non-negative value; the remainder has the dividend's sign, so a
// negative value is truncated.
int64_t RoundedUnits(int64_t value, int64_t unit) { return value / unit + (value % unit >= unit / 2 ? 1 : 0); }

}  // namespace

void BeginTest(RunState& state, std::string_view label) {
  const int32_t pad = kLabelColumns - static_cast<int32_t>(label.size());
  OutputChannel& out = Output();
  out.WriteText(label);
  out.WriteText(" (Secs, Bytes/s): ");
  out.WriteText("", pad);
  out.EndStatementAndCheck();
  // Last, so that the label, the header and their write lie before the timed interval.
  state.StartCount = platform::QueryCounter();
}

ReportFigures ComputeFigures(int64_t elapsed, int64_t frequency, int32_t passBytes, int32_t count) {
  ReportFigures figures;
  figures.seconds =
      RoundToDouble(platform::DivideExtended(static_cast<long double>(elapsed), static_cast<long double>(frequency)));
  const int64_t bytes = static_cast<int64_t>(passBytes) * static_cast<int64_t>(count);
  figures.bytesPerSecond = TruncateToInt64(
      platform::DivideExtended(static_cast<long double>(bytes), static_cast<long double>(figures.seconds)));
  figures.megabytes = RoundedUnits(figures.bytesPerSecond, kMega);
  figures.gigabytes = RoundedUnits(figures.bytesPerSecond, kGiga);
  return figures;
}

void EndTest(RunState& state, int32_t count) {
  state.StopCount = platform::QueryCounter();

  const int64_t elapsed =
      static_cast<int64_t>(static_cast<uint64_t>(state.StopCount) - static_cast<uint64_t>(state.StartCount));
  // One pass in 32 bits, as the test surface is below 2 GiB; the pass count may be 0 or negative.
  const int32_t passBytes = static_cast<int32_t>(state.DwordCount * 4u);
  const ReportFigures figures = ComputeFigures(elapsed, state.Frequency, passBytes, count);

  OutputChannel& out = Output();
  out.WriteReal(figures.seconds, 8, 4);
  out.WriteText(" ");
  out.WriteInt64(figures.bytesPerSecond, 12);
  out.WriteText(" ");
  out.WriteInt64(figures.megabytes, 6);
  out.WriteText("M ");
  out.WriteInt64(figures.gigabytes, 3);
  out.WriteLine("G");

  if (!(figures.seconds >= kShortTestSeconds) && state.TimeWarningPending) {
    state.TimeWarningPending = false;
    out.WriteLine(" ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount");
  }
}

}  // namespace morvit
