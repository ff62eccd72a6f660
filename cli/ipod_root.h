#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "platform/env.h"

namespace tunewell::cli {

// The mounted file systems whose root holds iPod_Control/iTunes, as the Env lists them.
std::vector<std::string> FindMountedIPods(Env& env);

// The iPod a command works on: --ipod when given, else the one mounted iPod, which it names on
// stderr. With none or several it prints a usage error that says what it found, and answers
// nullopt.
std::optional<std::string> IPodRootOf(Env& env, const Arguments& parsed);

}  // namespace tunewell::cli
