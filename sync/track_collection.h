#pragma once

// A sync request: which of the player's playlists to sync, the MP3 items among them that were
// not met before in the request, and the run that copies them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// What decides a request's playlists, read on the request's own thread: the iPod's auto-sync
// file and, when that leaves the choice to the Sync tab, the Sync list's checked rows.
struct PlaylistQuery {
  HookEvent event = HookEvent::kSyncTab;
  AutoSyncFile::ReadResult autoSync = AutoSyncFile::ReadResult::kAbsent;
  // The file's names, for kNames.
  std::vector<std::string> names;
  std::vector<SyncListRow> rows;
};

// Reads the auto-sync file under `ipod_root`, and the checked rows of `sync_list` when there is
// no file and `event` comes from the Sync tab. A Sync list that outranks the file is read as if
// there were none.
PlaylistQuery ReadPlaylistQuery(Env& env, const std::string& ipod_root, HookEvent event,
                                SyncListSource* sync_list);

struct PlaylistChoice {
  PlaylistArray playlists;
  // The chosen playlists' item counts together.
  int64_t itemTotal = 0;
};

// The playlists to walk: those the auto-sync file names (the first playlist of each name; names
// without one give nothing), all of them when the file is empty, and without a file the
// temporary playlist of the checked rows for a sync from the Sync tab, none for any other event.
PlaylistChoice CollectPlaylists(PlayerLibrary& library, const PlaylistQuery& query);

struct TempPlaylist {
  std::shared_ptr<PlayerPlaylist> playlist;
  int32_t appended = 0;
};

// Creates the temporary playlist and appends the library item of each of `rows`.
TempPlaylist BuildTempPlaylist(PlayerLibrary& library, const std::vector<SyncListRow>& rows);

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

// What a request takes from the player's library: plain data, no player object.
struct GatheredTracks {
  OwnedTracks tracks;
  // The chosen playlists' item counts together.
  int64_t itemTotal = 0;
  int32_t notMp3Count = 0;
  int32_t repeatCount = 0;
};

// All of a request's work on the player's library, in one go: the playlists `query` chooses and
// their tracks, with the temporary playlist made and deleted within (deleted for every request
// from the Sync tab, whoever left it).
GatheredTracks GatherRequestTracks(PlayerLibrary& library, const PlaylistQuery& query);

// The whole request for hook event `event`: kNoticeOnly only shows a notice; without an iPod
// the request stops, with a notice for kSyncTab; otherwise the chosen tracks go to RunSync. The
// player's library is reached through `library` once; when it cannot be, the request stops and the
// iPod is left as it was.
SyncReport HandleSyncRequest(const SyncServices& services, PlayerLibraryAccess& library,
                             SyncHost& host, HookEvent event);
// For a library whose objects any thread may call.
SyncReport HandleSyncRequest(const SyncServices& services, PlayerLibrary& library, SyncHost& host,
                             HookEvent event);

}  // namespace tunewell
