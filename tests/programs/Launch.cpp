// Starts a program with an exact raw command line, which Wine's own argument quoting cannot give.
//   launch.exe HEX   where HEX is the command line's bytes in hexadecimal.
// Standard output is inherited; the exit status is the started program's.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: launch.exe HEX-COMMAND-LINE\n");
    return 2;
  }
  std::string line;
  for (const char* p = argv[1]; p[0] && p[1]; p += 2) {
    unsigned byte = 0;
    std::sscanf(p, "%2x", &byte);
    line += static_cast<char>(byte);
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "launch.exe: CreateProcessA failed, error %lu\n", GetLastError());
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 2;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
