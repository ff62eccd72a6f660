#pragma once

#include "sync/track_info.h"

namespace tunewell {

// The tracks of an iTunesDB. Owns them; `tracks()` is their current order (title order after a
// load).
class TrackList {
 public:
  TrackList() = default;
  explicit TrackList(OwnedTracks owned);

  TrackList(TrackList&&) = default;
  TrackList& operator=(TrackList&&) = default;

  const TrackArray& tracks() const { return order_; }
  TrackArray& tracks() { return order_; }
  int32_t count() const { return static_cast<int32_t>(order_.size()); }

  // Removes from `candidates` every track whose title, album and artist each compare equal
  // (CompareText) to those of a listed track. Order of the rest is kept.
  void DropDuplicates(TrackArray& candidates) const;

  // The listed tracks in their order, followed by `new_tracks` in theirs.
  TrackArray With(const TrackArray& new_tracks) const;
  // The listed tracks in their order, without those whose trackId is that of a given track.
  TrackArray Without(const TrackArray& removed) const;

 private:
  OwnedTracks owned_;
  TrackArray order_;
};

}  // namespace tunewell
