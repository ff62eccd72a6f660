#include "database/track_list.h"

#include <unordered_map>
#include <vector>

namespace tunewell {

TrackList::TrackList(OwnedTracks owned) : owned_(std::move(owned)) {
  TrackArray order;
  order.reserve(owned_.size());
  for (const auto& track : owned_) order.push_back(track.get());
  keyed_ = KeyedTracks(order);
}

void TrackList::DropDuplicates(TrackArray& candidates) {
  if (keyed_.size() == 0 || candidates.empty()) return;
  // The few candidates by the hash of their title, album and artist keys; the database's many
  // tracks are looked up in them.
  KeyedTracks wanted(candidates);
  std::unordered_multimap<size_t, size_t> by_hash;
  by_hash.reserve(wanted.size());
  for (size_t j = 0; j < wanted.size(); ++j) by_hash.emplace(wanted.IdentityHash(j), j);
  std::vector<bool> duplicate(wanted.size(), false);
  for (size_t i = 0; i < keyed_.size(); ++i) {
    const auto [first, last] = by_hash.equal_range(keyed_.IdentityHash(i));
    for (auto it = first; it != last; ++it) {
      if (!duplicate[it->second])
        duplicate[it->second] = keyed_.SameIdentity(i, wanted, it->second);
    }
  }
  TrackArray kept;
  kept.reserve(candidates.size());
  for (size_t j = 0; j < wanted.size(); ++j) {
    if (!duplicate[j]) kept.push_back(wanted.at(j));
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
