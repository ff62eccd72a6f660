#include <io.h>
#include <windows.h>

#include "platform/terminal.h"

namespace tunewell {

bool IsTerminal(std::FILE* stream) {
  // _isatty also answers true for the NUL device; a console handle has a console mode.
  const intptr_t handle = ::_get_osfhandle(::_fileno(stream));
  DWORD mode = 0;
  return handle != -1 && ::GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}

}  // namespace tunewell
