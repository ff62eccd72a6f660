#include "database/itunes_database.h"

#include <unordered_map>

#include "database/track_order.h"
#include "database/track_reader.h"
#include "platform/path.h"

namespace tunewell {

Status ParseDatabaseFile(Env& env, const std::string& path, std::string* image,
                         DatabaseLayout* layout, OwnedTracks* tracks) {
  RETURN_IF_ERROR(env.ReadFile(path, image));
  if (image->empty()) return Status::NotFound(path + ": the file is empty");
  const ImageView view(*image);
  Status s = ParseLayout(view, layout);
  if (s.ok()) s = ReadTracks(view, *layout, tracks);
  return s.Prefixed(path);
}

Status ITunesDatabase::Load(const std::string& path, TrackArray* candidates, bool drop_duplicates) {
  OwnedTracks tracks;
  canonical_ = false;
  Status s = ParseDatabaseFile(*env_, path, &image_, &layout_, &tracks);
  if (!s.ok()) {
    // Keep nothing of an image that cannot be parsed: nothing may be written from it.
    if (!s.IsNotFound()) image_.clear();
    layout_ = DatabaseLayout();
    writable_ = s;
    return s;
  }
  scheme_ = SigningScheme(image_);
  key_.reset();
  writable_ = CheckSignable(ImageView(image_), layout_);
  if (writable_.ok() && env_->KindOf(JoinPath(ParentOf(path), {"iTunesCDB"})) != PathKind::kNone) {
    writable_ = Status::Refused(
        "a compressed database (iTunesCDB) lies beside it, which this "
        "program cannot update");
  }
  if (writable_.ok()) {
    const ImageView image(image_);
    canonical_ = CheckWritableShape(image, layout_).ok();
    if (!canonical_) writable_ = CheckUpdatableShape(image, layout_);
  }
  writable_ = writable_.Prefixed(path);
  trackList_ = TrackList(std::move(tracks));
  trackList_.Sort(SortType::kTitle);
  loaded_ = true;
  if (drop_duplicates && candidates != nullptr) trackList_.DropDuplicates(*candidates);
  return Status::Ok();
}

Status ITunesDatabase::ReadTrackList(const std::string& path, OwnedTracks* tracks) {
  tracks->clear();
  std::string image;
  DatabaseLayout layout;
  OwnedTracks parsed;
  RETURN_IF_ERROR(ParseDatabaseFile(*env_, path, &image, &layout, &parsed));
  layout_.header_length = layout.header_length;
  layout_.track_dataset.header_length = layout.track_dataset.header_length;
  layout_.track_list_header_length = layout.track_list_header_length;
  scheme_ = SigningScheme(image);

  TrackArray order;
  order.reserve(parsed.size());
  for (const auto& track : parsed) order.push_back(track.get());
  SortTracks(order, SortType::kArtist);
  // Hand the tracks over in display order.
  std::unordered_map<const TrackInfo*, size_t> place;
  for (size_t i = 0; i < parsed.size(); ++i) place.emplace(parsed[i].get(), i);
  tracks->reserve(parsed.size());
  for (TrackInfo* track : order) tracks->push_back(std::move(parsed[place[track]]));
  return Status::Ok();
}

}  // namespace tunewell
