#pragma once

#include <cstdio>

namespace tunewell {

// True when `stream` writes to an interactive terminal (a console), not a file or a pipe.
bool IsTerminal(std::FILE* stream);

}  // namespace tunewell
