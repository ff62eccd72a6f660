#include "database/track_list.h"

#include <unordered_set>

#include "platform/collation.h"

namespace tunewell {

namespace {

// Title, album and artist keys in one string. Lengths go in front of each key, so that two
// different triples can never run together into the same string.
std::string IdentityKey(const TrackInfo& track) {
  std::string out;
  for (const std::u16string* text : {&track.title, &track.album, &track.artist}) {
    const std::string key = SortKey(*text);
    out += std::to_string(key.size());
    out += ':';
    out += key;
  }
  return out;
}

}  // namespace

TrackList::TrackList(OwnedTracks owned) : owned_(std::move(owned)) {
  order_.reserve(owned_.size());
  for (const auto& track : owned_) order_.push_back(track.get());
}

void TrackList::DropDuplicates(TrackArray& candidates) const {
  if (order_.empty()) return;
  std::unordered_set<std::string> present;
  present.reserve(order_.size());
  for (const TrackInfo* track : order_) present.insert(IdentityKey(*track));
  std::erase_if(candidates, [&](const TrackInfo* candidate) {
    return present.count(IdentityKey(*candidate)) > 0;
  });
}

TrackArray TrackList::With(const TrackArray& new_tracks) const {
  TrackArray out = order_;
  out.insert(out.end(), new_tracks.begin(), new_tracks.end());
  return out;
}

TrackArray TrackList::Without(const TrackArray& removed) const {
  std::unordered_set<uint32_t> ids;
  for (const TrackInfo* track : removed) ids.insert(track->trackId);
  TrackArray out;
  out.reserve(order_.size());
  for (TrackInfo* track : order_) {
    if (ids.count(track->trackId) == 0) out.push_back(track);
  }
  return out;
}

}  // namespace tunewell
