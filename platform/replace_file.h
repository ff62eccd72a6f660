#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace tunewell {

// Checks the new file's bytes before they replace the old ones.
using ContentCheck = std::function<Status(std::string_view contents)>;

// Replaces the file at `path` by `contents` so that a failure at any point leaves the old file
// exactly as it was: writes "<path>.tmp" beside it, checks every write, flushes it to the device,
// reads it back and runs `check` on what was read, keeps the old file as `backup_path` (unless
// empty), then renames the new file over the old one and syncs the folder. The temporary file
// is removed on failure.
Status ReplaceFileSafely(Env& env, const std::string& path, std::string_view contents,
                         const ContentCheck& check, const std::string& backup_path);

}  // namespace tunewell
