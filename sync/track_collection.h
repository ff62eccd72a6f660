#pragma once

// A sync request: which of the player's playlists to sync, the MP3 items among them that were
// not met before in the request, and the run that copies them.

#include <cstdint>
#include <memory>
#include <string>

#include "hook/hook_events.h"
#include "sync/auto_sync_file.h"
#include "sync/player_library.h"
#include "sync/sync_host.h"
#include "sync/sync_run.h"
#include "track/track_info.h"

namespace tunewell {

// The player playlist that holds the Sync list's checked rows for the length of one request.
inline constexpr std::u16string_view kTempPlaylistName = u"TunewellTemp";
inline constexpr char kNoticeCaption[] = "Harborline";
inline constexpr char kSyncFromSyncTabNotice[] =
    "Thank you for using Harborline. Please sync from the Sync Tab.";
inline constexpr char kNoIPodNotice[] = "No iPod was found. Connect the iPod and sync again.";

struct PlaylistChoice {
  PlaylistArray playlists;
  // The chosen playlists' item counts together.
  int64_t itemTotal = 0;
  // What the iPod's auto-sync file said.
  AutoSyncFile::ReadResult autoSync = AutoSyncFile::ReadResult::kAbsent;
};

// The playlists to walk: those the iPod's auto-sync file names (the first playlist of each name;
// names without one give nothing), all of them when the file is empty, and without a file the
// temporary playlist of the Sync list's checked rows for a sync from the Sync tab, none for any
// other event. A Sync list that outranks the file is used as if there were none.
PlaylistChoice CollectPlaylists(Env& env, PlayerLibrary& library, const std::string& ipod_root,
                                HookEvent event, SyncListSource* sync_list);

struct TempPlaylist {
  std::shared_ptr<PlayerPlaylist> playlist;
  int32_t appended = 0;
};

// Creates the temporary playlist and appends the library item of each checked row of
// `sync_list` (none without a Sync list).
TempPlaylist BuildTempPlaylist(PlayerLibrary& library, SyncListSource* sync_list);

// The first library item titled `title` whose source path is `path`, or null.
std::shared_ptr<PlayerMedia> FindLibraryMedia(PlayerLibrary& library, std::u16string_view title,
                                              std::u16string_view path);

// Deletes every playlist named kTempPlaylistName.
void RemoveTempPlaylist(PlayerLibrary& library);

// The TrackInfo of a library item found at `position` in its playlist.
std::unique_ptr<TrackInfo> TrackFromMedia(PlayerMedia& media, int32_t position);

// The MP3 items of `playlists` in order, each once; the other items are counted in
// `*not_mp3_count`, repeats (the title, album and artist of an earlier item) in `*repeat_count`
// when given.
void GatherTracks(const PlaylistArray& playlists, OwnedTracks* tracks, int32_t* not_mp3_count,
                  int32_t* repeat_count = nullptr);

// The whole request for hook event `event`: kNoticeOnly only shows a notice; without an iPod
// the request stops, with a notice for kSyncTab; otherwise the chosen tracks go to RunSync.
SyncReport HandleSyncRequest(const SyncServices& services, PlayerLibrary& library, SyncHost& host,
                             HookEvent event);

}  // namespace tunewell
