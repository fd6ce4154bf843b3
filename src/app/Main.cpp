#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/RunBenchmark.h"
#include "console/FailureReport.h"
#include "measure/ProgramArguments.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  std::string raw;
  if (morvit::platform::RawCommandLine(raw)) {
    // The C runtime's argv follows other quoting rules than the program's own.
    arguments = morvit::SplitCommandLine(raw);
    if (!arguments.empty()) arguments.erase(arguments.begin());
  } else {
    arguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
  }
  morvit::SetProgramArguments(std::move(arguments));
  morvit::RunReportingFailures(morvit::ProgramMain);
}
