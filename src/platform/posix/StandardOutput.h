#pragma once
// The POSIX half's writes to standard output, apart so that tests can give them any errno: the errno of a
// failed write becomes the error number the output channel reports.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace morvit::platform::posix {

// Writes count bytes to standard output through writeOnce (write(2) for the program, a stand-in in tests),
// again after an interrupted (EINTR) or partial write. 0 when all were written, else the error number of the
// failed write: the Win32 number where errno has a counterpart (platform::io_error), errno itself otherwise.
int32_t WriteStandardOutputWith(ssize_t (*writeOnce)(int, const void*, size_t), const char* bytes, size_t count);

}  // namespace morvit::platform::posix
