#pragma once

#include <cstdint>
#include <string>

#include "platform/env.h"

namespace tunewell {

// The number of music folders under <root>/iPod_Control/Music: folders named "F" followed by
// digits only (F00, F01, ...). 0 when the folder cannot be listed.
int32_t CountMusicFolders(Env& env, const std::string& root);

}  // namespace tunewell
