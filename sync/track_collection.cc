#include "sync/track_collection.h"

#include <set>
#include <tuple>

#include "platform/collation.h"
#include "platform/text.h"

namespace tunewell {

namespace {

bool SameText(std::u16string_view a, std::u16string_view b) { return CompareText(a, b) == 0; }

// Title, album and artist, as keys that are equal exactly when CompareText finds the texts
// equal, so that one look-up finds an earlier item with all three, instead of a walk.
using ItemKey = std::tuple<std::string, std::string, std::string>;

ItemKey KeyOf(PlayerMedia& media) {
  return {SortKey(media.Name()), SortKey(media.GetItemInfo(u"WM/AlbumTitle")),
          SortKey(media.GetItemInfo(u"Author"))};
}

class WaitCursor {
 public:
  explicit WaitCursor(SyncHost& host) : host_(host) { host_.BeginWaitCursor(); }
  ~WaitCursor() { host_.EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  SyncHost& host_;
};

}  // namespace

PlaylistQuery ReadPlaylistQuery(Env& env, const std::string& ipod_root, HookEvent event,
                                SyncListSource* sync_list) {
  PlaylistQuery query;
  query.event = event;
  AutoSyncFile file(env);
  const bool outranked = sync_list != nullptr && sync_list->OutranksAutoSync();
  query.autoSync = outranked ? AutoSyncFile::ReadResult::kAbsent : file.Read(ipod_root);
  if (query.autoSync == AutoSyncFile::ReadResult::kNames) query.names = file.Names();
  if (query.autoSync == AutoSyncFile::ReadResult::kAbsent && event == HookEvent::kSyncTab &&
      sync_list != nullptr) {
    query.rows = sync_list->CheckedRows();
  }
  return query;
}

PlaylistChoice CollectPlaylists(PlayerLibrary& library, const PlaylistQuery& query) {
  PlaylistChoice choice;
  switch (query.autoSync) {
    case AutoSyncFile::ReadResult::kNames:
      for (const std::string& name : query.names) {
        PlaylistArray found = library.GetPlaylistsByName(NarrowToWide(name));
        if (!found.empty()) choice.playlists.push_back(found.front());
      }
      break;
    case AutoSyncFile::ReadResult::kEmpty:
      choice.playlists = library.GetAllPlaylists();
      break;
    case AutoSyncFile::ReadResult::kAbsent:
      if (query.event == HookEvent::kSyncTab) {
        choice.playlists.push_back(BuildTempPlaylist(library, query.rows).playlist);
      }
      break;
  }
  std::erase(choice.playlists, nullptr);
  for (const auto& playlist : choice.playlists) choice.itemTotal += playlist->Count();
  return choice;
}

TempPlaylist BuildTempPlaylist(PlayerLibrary& library, const std::vector<SyncListRow>& rows) {
  TempPlaylist temp;
  temp.playlist = library.NewPlaylist(kTempPlaylistName);
  if (temp.playlist == nullptr) return temp;
  for (const SyncListRow& row : rows) {
    std::shared_ptr<PlayerMedia> media =
        FindLibraryMedia(library, NarrowToWide(row.title), PathToWide(row.path));
    if (media == nullptr) continue;
    temp.playlist->AppendItem(media);
    ++temp.appended;
  }
  return temp;
}

std::shared_ptr<PlayerMedia> FindLibraryMedia(PlayerLibrary& library, std::u16string_view title,
                                              std::u16string_view path) {
  std::shared_ptr<PlayerPlaylist> found = library.GetMediaByName(title);
  if (found == nullptr) return nullptr;
  const int32_t count = found->Count();
  for (int32_t i = 0; i < count; ++i) {
    std::shared_ptr<PlayerMedia> media = found->Item(i);
    if (media != nullptr && SameText(media->SourceUrl(), path)) return media;
  }
  return nullptr;
}

void RemoveTempPlaylist(PlayerLibrary& library) {
  for (const auto& playlist : library.GetPlaylistsByName(kTempPlaylistName)) {
    if (playlist != nullptr) library.RemovePlaylist(playlist);
  }
}

std::unique_ptr<TrackInfo> TrackFromMedia(PlayerMedia& media, int32_t position) {
  auto track = std::make_unique<TrackInfo>();
  track->title = media.Name();
  track->duration = media.Duration();
  track->path = media.SourceUrl();
  track->genre = media.GetItemInfo(u"WM/Genre");
  track->artist = media.GetItemInfo(u"Author");
  track->composer = media.GetItemInfo(u"WM/Composer");
  track->album = media.GetItemInfo(u"WM/AlbumTitle");
  track->bitrate = LeadingDecimalInteger(media.GetItemInfo(u"Bitrate"));
  track->year = LeadingDecimalInteger(media.GetItemInfo(u"ReleaseDate"));
  track->trackNumber = LeadingDecimalInteger(media.GetItemInfo(u"WM/TrackNumber"));
  track->fileSize = LeadingDecimalInteger(media.GetItemInfo(u"FileSize"));
  track->hasLyrics = !media.GetItemInfo(u"WM/Lyrics").empty();
  track->isVbr = SameText(media.GetItemInfo(u"IsVBR"), u"true");
  std::u16string rating = media.GetItemInfo(u"UserRating");
  if (rating.empty()) rating = media.GetItemInfo(u"UserEffectiveRating");
  track->rating = StarsFromRating(rating);
  track->kind = std::u16string(kMpegAudioFileKind);
  track->position = position;
  return track;
}

void GatherTracks(const PlaylistArray& playlists, OwnedTracks* tracks, int32_t* not_mp3_count,
                  int32_t* repeat_count) {
  std::set<ItemKey> earlier;
  for (const auto& playlist : playlists) {
    if (playlist == nullptr) break;
    const int32_t count = playlist->Count();
    for (int32_t i = 0; i < count; ++i) {
      std::shared_ptr<PlayerMedia> media = playlist->Item(i);
      if (media == nullptr) continue;
      if (!earlier.insert(KeyOf(*media)).second) {
        if (repeat_count != nullptr) ++*repeat_count;
        continue;
      }
      if (!SameText(media->GetItemInfo(u"FileType"), u"mp3")) {
        ++*not_mp3_count;
        continue;
      }
      tracks->push_back(TrackFromMedia(*media, i));
    }
  }
}

GatheredTracks GatherRequestTracks(PlayerLibrary& library, const PlaylistQuery& query) {
  GatheredTracks gathered;
  {
    // The playlists go before the temporary one is deleted.
    const PlaylistChoice choice = CollectPlaylists(library, query);
    gathered.itemTotal = choice.itemTotal;
    GatherTracks(choice.playlists, &gathered.tracks, &gathered.notMp3Count, &gathered.repeatCount);
  }
  if (query.event == HookEvent::kSyncTab) RemoveTempPlaylist(library);
  return gathered;
}

SyncReport HandleSyncRequest(const SyncServices& services, PlayerLibraryAccess& library,
                             SyncHost& host, HookEvent event) {
  SyncReport report;
  if (event == HookEvent::kNoticeOnly) {
    host.ShowNotice(kSyncFromSyncTabNotice, kNoticeCaption);
    return report;
  }
  WaitCursor wait(host);
  const std::string root = host.GetIPodRootDirectory();
  if (root.empty()) {
    // Without a root every path below would name the current folder instead of an iPod. Only
    // the user's own sync hears why; the player's automatic events end silently.
    if (event == HookEvent::kSyncTab) host.ShowNotice(kNoIPodNotice, kNoticeCaption);
    report.status = Status::NotFound("no iPod was found");
    return report;
  }
  SyncListSource* sync_list = event == HookEvent::kSyncTab ? host.GetSyncList() : nullptr;

  // The Sync list's rows are read here: they are the player's windows, not its objects.
  const PlaylistQuery query = ReadPlaylistQuery(services.env, root, event, sync_list);
  GatheredTracks gathered;
  if (!library.Run([&](PlayerLibrary& player) { gathered = GatherRequestTracks(player, query); })) {
    report.status = Status::Busy("the player's library did not answer; nothing was changed");
    return report;
  }
  if ((event == HookEvent::kSyncSettings || event == HookEvent::kRefreshAndSync) &&
      gathered.itemTotal >= 1) {
    host.StopAutomaticSyncProcess();
  }

  TrackArray tracks;
  tracks.reserve(gathered.tracks.size());
  for (const auto& track : gathered.tracks) tracks.push_back(track.get());
  SyncServices run = services;
  run.host = &host;
  report = RunSync(run, root, tracks, gathered.notMp3Count);
  report.repeats = gathered.repeatCount;
  return report;
}

SyncReport HandleSyncRequest(const SyncServices& services, PlayerLibrary& library, SyncHost& host,
                             HookEvent event) {
  struct Direct : PlayerLibraryAccess {
    explicit Direct(PlayerLibrary& l) : library(l) {}
    bool Run(const std::function<void(PlayerLibrary&)>& work) override {
      work(library);
      return true;
    }
    PlayerLibrary& library;
  } direct(library);
  return HandleSyncRequest(services, direct, host, event);
}

}  // namespace tunewell
