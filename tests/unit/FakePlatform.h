#pragma once
// The platform's services replaced for the length of one test and put back when it ends, however it ends
// (a failed ASSERT leaves the test at once): the next test finds the real services and a fresh channel.
// And what a step raised, and lists of expected lines put together, for the tests to compare.

#include <string>
#include <vector>

#include "console/Failure.h"
#include "console/OutputChannel.h"
#include "platform/Platform.h"

namespace morvit {

class FakePlatform {
 public:
  // Standard output starts as a disk file that takes every byte and keeps none.
  FakePlatform() {
    platform::Services& services = platform::CurrentServices();
    services.openStandardOutput = [] { return platform::StandardOutput{true, platform::StreamKind::Disk}; };
    services.writeStandardOutput = [](const char*, size_t) { return 0; };
    Output().Reset();
  }
  ~FakePlatform() {
    Output().Reset();
    platform::RestoreRealServices();
  }
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  // The entries a test replaces.
  platform::Services& Services() { return platform::CurrentServices(); }
};

// What step raised, as "Class: message"; empty when it raised nothing.
template <typename Step>
std::string Raised(const Step& step) {
  try {
    step();
  } catch (const Failure& failure) {
    return failure.ClassName() + ": " + failure.Message();
  }
  return "";
}

// The parts' lines, one part after the other.
inline std::vector<std::string> Joined(const std::vector<std::vector<std::string>>& parts) {
  std::vector<std::string> joined;
  for (const auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

}  // namespace morvit
