#include "sync/removal_run.h"

#include <set>

#include "platform/text.h"
#include "storage/ipod_lock.h"
#include "storage/music_file_removal.h"

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
  const Status s = RemoveMusicFile(ipod.env(), ipod.root(), track.path);
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
  return RemovePickedTracksFromIPod(
      ipod, [&](const TrackArray&) { return tracks; }, report);
}

Status RemovePickedTracksFromIPod(IPodDatabase& ipod, const RemovalPick& pick,
                                  RemovalReport* report) {
  RemovalReport ignored;
  RemovalReport& out = report != nullptr ? *report : ignored;
  out = RemovalReport();

  // One change to an iPod at a time: a sync run takes the same lock.
  IPodLock lock;
  Status s = IPodLock::Acquire(ipod.env(), ipod.root(), &lock);
  if (!s.ok()) return s.Prefixed("nothing was removed");
  // Both databases are read, and must be writable, before either is written.
  s = ipod.LoadForSync(nullptr);
  if (!s.ok()) return s.Prefixed("nothing was removed");
  const TrackArray tracks = pick(ipod.itunesDb().trackList().tracks());

  std::set<std::u16string> still_named;
  for (const TrackInfo* kept : ipod.itunesDb().trackList().Without(tracks)) {
    still_named.insert(FoldCase(kept->path));
  }
  // Both new files are checked before either replaces its old one; on failure neither has
  // changed, so no audio file may go.
  s = ipod.SaveAfterRemoval(tracks);
  if (!s.ok()) return s.Prefixed("no audio file was deleted");

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
