#pragma once

#include <string>
#include <string_view>

#include "platform/env.h"

namespace tunewell {

// Deletes the audio file that iPod location `location` names under `root`, but only a plain
// file reached through plain folders inside <root>/iPod_Control/Music (see ResolveMusicFile).
// NotFound when it is already gone; InvalidArgument or Refused, touching nothing, for a location
// that could name anything else; the Env's failure when the deletion fails.
Status RemoveMusicFile(Env& env, std::string_view root, std::u16string_view location);

}  // namespace tunewell
