#include <unistd.h>

#include "platform/terminal.h"

namespace tunewell {

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

}  // namespace tunewell
