// Starts a program with an exact raw command line, which Wine's own argument quoting cannot give:
//   launch.exe HEX   where HEX is the command line's bytes in hexadecimal.
// Standard handles are inherited; the exit status is the started program's, 2 when it cannot start.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  std::string line;
  for (const char* p = argc == 2 ? argv[1] : ""; p[0] && p[1]; p += 2) {
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
  DWORD status = 2;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &status);
  }
  return static_cast<int>(status);
}
