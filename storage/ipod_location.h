#pragma once

#include <string>
#include <string_view>

#include "platform/env.h"

namespace tunewell {

// iPod locations are how the databases name a file: its path below the iPod root with ':' for
// each separator and a ':' in front (":iPod_Control:Music:F07:QKZA.mp3"). For a drive root
// ("E:\") that is the full path without its first two characters. A root may come with or
// without its trailing separator.

// The location of `path`. InvalidArgument when `path` is not below `root` or holds a ':' below
// it (the location could not be turned back into the same path).
Status LocationFromPath(std::string_view root, std::string_view path, std::u16string* location);

// One key for all the locations that name the same file: the music volume ignores case.
std::u16string LocationKey(std::u16string_view location);

// The full path that `location` names under `root`.
std::string PathFromLocation(std::string_view root, std::u16string_view location);

// The full path of the music file that `location` names, but only for a plain file reached
// through plain folders inside <root>/iPod_Control/Music. InvalidArgument for a location that
// could point anywhere else ("..", separators or control characters in a name, a name that does
// not survive conversion to narrow text); NotFound when nothing is there; Refused for anything
// but a plain file (a folder, a link) or a link on the way.
Status ResolveMusicFile(Env& env, std::string_view root, std::u16string_view location,
                        std::string* path);

// The same for a file about to be created there: the same way checked, and nothing yet at its
// end (Refused otherwise).
Status ResolveNewMusicFile(Env& env, std::string_view root, std::u16string_view location,
                           std::string* path);

}  // namespace tunewell
