#include "storage/track_copy.h"

#include <algorithm>

#include "platform/path.h"
#include "platform/text.h"
#include "storage/ipod_location.h"
#include "storage/music_folders.h"

namespace tunewell {

namespace {

CopyResult Fail(CopyResult result, Status status, Status* why) {
  if (why != nullptr) *why = std::move(status);
  return result;
}

// A free name in one of the target's music folders, not among `taken`. A taken name costs a new
// name in the same folder, as it would cost the copy that found that name's file there.
Status DrawDestination(const CopyTarget& target, RandomSource& random,
                       const std::deque<std::string>* taken, std::string* destination) {
  std::string folder = MusicDirectory(target.root) + kPathSeparator + "F";
  RETURN_IF_ERROR(GenerateDirName(target.music_folders, random, &folder));
  folder += kPathSeparator;
  for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    *destination = folder;
    RETURN_IF_ERROR(GenerateFileName(*target.env, 4, random, destination));
    if (taken == nullptr || std::find(taken->begin(), taken->end(), *destination) == taken->end()) {
      return Status::Ok();
    }
  }
  return Status::NoSpace("no free file name left among the planned ones in " + folder);
}

}  // namespace

CopyTarget CopyTarget::For(Env& env, std::string_view root) {
  CopyTarget target;
  target.env = &env;
  target.root = WithTrailingSeparator(root);
  target.music_folders = MusicFolderNumbers(env, target.root);
  return target;
}

const char* DescribeCopyResult(CopyResult result) {
  switch (result) {
    case CopyResult::Copied:
      return "copied";
    case CopyResult::NoRoom:
      return "no room on the iPod";
    case CopyResult::SourceMissing:
      return "source file missing";
    case CopyResult::NoMusicFolders:
      return "no music folders on the iPod";
    case CopyResult::NoFreeName:
      return "no free file name in the chosen music folder";
    case CopyResult::CopyFailed:
      return "the copy to the iPod failed";
  }
  return "unknown copy result";
}

Status PlanDestinations(const CopyTarget& target, size_t count, RandomSource& random,
                        std::vector<std::u16string>* locations) {
  if (target.planned == nullptr) return Status::InvalidArgument("no list for planned names");
  for (size_t i = 0; i < count; ++i) {
    std::string destination;
    std::u16string location;
    RETURN_IF_ERROR(DrawDestination(target, random, target.planned, &destination));
    RETURN_IF_ERROR(LocationFromPath(target.root, destination, &location));
    target.planned->push_back(std::move(destination));
    locations->push_back(std::move(location));
  }
  return Status::Ok();
}

namespace {

// True when the iPod's volume has strictly more free bytes than the track's size plus the
// margin for each of the `track_count` tracks of the caller's list plus the target's reserve.
// False when the free space cannot be read.
bool HasRoomForTrack(const CopyTarget& target, const TrackInfo& track, int32_t track_count) {
  uint64_t free_bytes = 0;
  if (!target.env->FreeBytes(target.root, &free_bytes).ok()) return false;
  // A size or count below zero is nonsense and never lowers the need.
  const int64_t need = std::max<int64_t>(track.fileSize, 0) +
                       kRoomPerListedTrack * std::max<int64_t>(track_count, 0) +
                       std::max<int64_t>(target.reserve, 0);
  return free_bytes > static_cast<uint64_t>(need);
}

}  // namespace

CopyResult CopyTrackToIPod(const CopyTarget& target, TrackInfo& track, int32_t track_count,
                           RandomSource& random, MissingFileNotice& notice, Status* why) {
  if (why != nullptr) *why = Status::Ok();
  Env& env = *target.env;
  if (!HasRoomForTrack(target, track, track_count)) {
    return Fail(CopyResult::NoRoom, Status::NoSpace("not enough room on " + target.root), why);
  }
  if (target.music_folders.empty()) {
    return Fail(CopyResult::NoMusicFolders,
                Status::NotFound("no music folders in " + MusicDirectory(target.root)), why);
  }

  std::string destination;
  Status s;
  if (target.planned != nullptr && !target.planned->empty()) {
    destination = std::move(target.planned->front());
    target.planned->pop_front();
  } else {
    s = DrawDestination(target, random, nullptr, &destination);
    if (!s.ok()) return Fail(CopyResult::NoFreeName, s, why);
  }

  // Shared reading, so that a track the player has open still counts as present.
  const std::string source = WideToPath(track.path);
  if (const Status probe = env.ProbeFile(source, /*share_read=*/true); !probe.ok()) {
    // A file that is there but may not be read (no permission, held by another program) is not
    // missing, and the user fixes it differently.
    if (probe.IsNotFound()) {
      notice.Show("Unable to locate file : " + source, "Problem locating track.");
    } else {
      notice.Show("Unable to read file : " + probe.message(), "Problem reading track.");
    }
    return Fail(CopyResult::SourceMissing, probe.Prefixed("cannot be opened"), why);
  }

  std::u16string location;
  s = LocationFromPath(target.root, destination, &location);
  // A music folder that is a link could lead outside the iPod: nothing is written through it.
  std::string checked;
  if (s.ok()) s = ResolveNewMusicFile(env, target.root, location, &checked);
  if (s.ok() && target.before_copy) s = target.before_copy(location);
  if (!s.ok()) return Fail(CopyResult::CopyFailed, s.Prefixed("copying " + source), why);
  s = env.CopyFileTo(source, destination);
  if (s.ok()) {
    // A source that changed under the copy leaves a file the database would misdescribe.
    uint64_t source_size = 0, copied_size = 0;
    s = env.FileSize(source, &source_size);
    if (s.ok()) s = env.FileSize(destination, &copied_size);
    if (s.ok() && source_size != copied_size) {
      s = Status::IOError(destination + ": " + std::to_string(copied_size) + " of " +
                          std::to_string(source_size) + " bytes copied");
    }
  }
  if (!s.ok()) {
    // The name was free when drawn, so whatever lies there now is ours; the copy's own
    // failure is what the caller hears.
    env.RemoveFile(destination).IgnoreError();
    return Fail(CopyResult::CopyFailed, s.Prefixed("copying " + source), why);
  }
  track.path = std::move(location);
  return CopyResult::Copied;
}

}  // namespace tunewell
