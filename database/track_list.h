#pragma once

#include "database/track_order.h"
#include "track/track_info.h"

namespace tunewell {

// The tracks of an iTunesDB. Owns them, and keeps them in an order (title order after a load)
// together with the sort keys computed so far, so that no key is computed twice.
class TrackList {
 public:
  TrackList() = default;
  explicit TrackList(OwnedTracks owned);

  TrackList(TrackList&&) = default;
  TrackList& operator=(TrackList&&) = default;

  // The tracks in their current order.
  TrackArray tracks() const { return keyed_.Tracks(); }
  int32_t count() const { return static_cast<int32_t>(keyed_.size()); }

  void Sort(SortType type) { keyed_.Sort(type); }

  // Removes from `candidates` every track whose title, album and artist each compare equal
  // (CompareText) to those of a listed track. Order of the rest is kept.
  void DropDuplicates(TrackArray& candidates);

  // The listed tracks in their order, followed by `new_tracks` in theirs.
  TrackArray With(const TrackArray& new_tracks) const;
  // The listed tracks in their order, without those whose trackId is that of a given track.
  TrackArray Without(const TrackArray& removed) const;
  // The same, with the keys computed so far.
  KeyedTracks KeyedWith(const TrackArray& new_tracks) const;
  KeyedTracks KeyedWithout(const TrackArray& removed) const;

 private:
  OwnedTracks owned_;
  KeyedTracks keyed_;
};

}  // namespace tunewell
