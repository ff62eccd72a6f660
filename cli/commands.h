#pragma once

#include <string>
#include <vector>

#include "platform/env.h"

namespace tunewell::cli {

// Each takes the words after its command name and returns the process exit code. Results go to
// stdout, progress and errors to stderr.
int RunList(Env& env, const std::vector<std::string>& args);

// Prints "tunewell: <message>" to stderr.
void PrintError(const std::string& message);

}  // namespace tunewell::cli
