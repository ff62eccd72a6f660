#pragma once

#include <string>

#include "platform/env.h"

namespace tunewell::cli {

// Creates `path` and whichever of its parents are missing. InvalidArgument when something that
// is not a folder stands in the way.
Status CreateFolders(Env& env, const std::string& path);

}  // namespace tunewell::cli
