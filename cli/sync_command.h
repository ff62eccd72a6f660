#pragma once

#include <string>
#include <vector>

#include "platform/env.h"
#include "storage/firewire_guid.h"

namespace tunewell::cli {

// Syncs `paths` (MP3 files, folders searched for audio files, .m3u/.m3u8 playlists) to the iPod
// at `ipod` as a sync from the Sync tab syncs its checked rows; without paths the iPod's
// autoSync file chooses among the playlists under `library` ("" for none). Returns the exit
// code. `guid` says where the FireWire GUID of an iPod with a signed database comes from.
int SyncToIPod(Env& env, const std::string& ipod, const std::string& library,
               const std::vector<std::string>& paths, const GuidSources& guid = {});

}  // namespace tunewell::cli
