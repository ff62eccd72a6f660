#include "storage/track_removal.h"

#include <set>

#include "platform/text.h"
#include "storage/ipod_location.h"

namespace tunewell {

namespace {

// The music volume ignores case in names, so two locations that differ only in case are one
// file.
std::u16string FoldCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return out;
}

void DeleteMusicFile(IPodDatabase& ipod, const TrackInfo& track, RemovalReport& report) {
  std::string path;
  Status s = ResolveMusicFile(ipod.env(), ipod.root(), track.path, &path);
  if (s.ok()) s = ipod.env().RemoveFile(path);
  if (s.ok()) {
    ++report.files_deleted;
  } else if (s.IsNotFound()) {
    ++report.files_missing;
  } else {
    report.files_kept.push_back(s.Prefixed("kept"));
  }
}

}  // namespace

Status RemoveTracksFromIPod(IPodDatabase& ipod, const TrackArray& tracks, RemovalReport* report) {
  RemovalReport ignored;
  RemovalReport& out = report != nullptr ? *report : ignored;
  out = RemovalReport();

  // Read both before writing either, so that an unreadable iTunesSD stops the removal whole.
  ITunesDatabase& itunes = ipod.itunesDb();
  Status s = itunes.Load(ipod.dbPath(), nullptr, /*drop_duplicates=*/false);
  if (!s.ok()) return s.Prefixed("nothing was removed");
  ShuffleDatabase& shuffle = ipod.shuffleDb();
  s = shuffle.Load(ipod.sdPath());
  if (!s.ok() && !s.IsNotFound()) return s.Prefixed("nothing was removed");

  std::set<std::u16string> still_named;
  for (const TrackInfo* kept : itunes.trackList().Without(tracks)) {
    still_named.insert(FoldCase(kept->path));
  }

  s = itunes.Save(ipod.dbPath(), tracks, /*adding=*/false);
  if (!s.ok()) return s.Prefixed("nothing was removed");
  if (shuffle.loaded()) {
    s = shuffle.Save(ipod.sdPath(), tracks, /*adding=*/false);
    if (!s.ok()) {
      return s.Prefixed("iTunesDB was updated but iTunesSD was not; no audio file was deleted");
    }
  }

  for (const TrackInfo* track : tracks) {
    if (still_named.count(FoldCase(track->path)) != 0) {
      out.files_kept.push_back(Status::Refused("kept " + Utf16ToUtf8(track->path) +
                                               ": a remaining track still names it"));
      continue;
    }
    DeleteMusicFile(ipod, *track, out);
  }
  return Status::Ok();
}

}  // namespace tunewell
