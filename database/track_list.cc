#include "database/track_list.h"

#include <unordered_map>

namespace tunewell {

TrackList::TrackList(OwnedTracks owned) : owned_(std::move(owned)) {
  TrackArray order;
  order.reserve(owned_.size());
  for (const auto& track : owned_) order.push_back(track.get());
  keyed_ = KeyedTracks(order);
}

void TrackList::DropDuplicates(TrackArray& candidates) {
  if (keyed_.size() == 0 || candidates.empty()) return;
  // Tracks of the database by the hash of their title, album and artist keys.
  std::unordered_multimap<size_t, size_t> present;
  present.reserve(keyed_.size());
  for (size_t i = 0; i < keyed_.size(); ++i) present.emplace(keyed_.IdentityHash(i), i);
  KeyedTracks wanted(candidates);
  TrackArray kept;
  kept.reserve(candidates.size());
  for (size_t j = 0; j < wanted.size(); ++j) {
    const auto [first, last] = present.equal_range(wanted.IdentityHash(j));
    bool duplicate = false;
    for (auto it = first; it != last && !duplicate; ++it) {
      duplicate = keyed_.SameIdentity(it->second, wanted, j);
    }
    if (!duplicate) kept.push_back(wanted.at(j));
  }
  candidates = std::move(kept);
}

KeyedTracks TrackList::KeyedWith(const TrackArray& new_tracks) const {
  KeyedTracks out = keyed_;
  out.Append(new_tracks);
  return out;
}

KeyedTracks TrackList::KeyedWithout(const TrackArray& removed) const {
  KeyedTracks out = keyed_;
  out.RemoveIds(removed);
  return out;
}

TrackArray TrackList::With(const TrackArray& new_tracks) const {
  return KeyedWith(new_tracks).Tracks();
}

TrackArray TrackList::Without(const TrackArray& removed) const {
  return KeyedWithout(removed).Tracks();
}

}  // namespace tunewell
