#pragma once

// The five orders of the library's sort indexes, and the text comparison they rest on. Sorting
// works on precomputed sort keys so that a sort costs no collation call per comparison.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "track/track_info.h"

namespace tunewell {

// Values are the sort types written into the sort index records.
enum class SortType : uint32_t {
  kTitle = 3,
  kAlbum = 4,
  kArtist = 5,
  kGenre = 7,
  kComposer = 18,
};

// Whether `value` is one of the sort types above.
inline bool KnownSortType(uint32_t value) {
  return value == 3 || value == 4 || value == 5 || value == 7 || value == 18;
}

// The order in which the writer emits the five indexes.
inline constexpr SortType kSortIndexOrder[] = {
    SortType::kTitle, SortType::kArtist, SortType::kAlbum, SortType::kGenre, SortType::kComposer};

// The comparator of `type`: -1, 0 or +1, ascending by
//   title:    title
//   album:    album, track number (signed), title
//   artist:   artist, then as album
//   genre:    genre, then as artist
//   composer: composer, title
int CompareTracks(SortType type, const TrackInfo& a, const TrackInfo& b);

// Tracks in an order, with their sort keys. Each key is computed at most once and only when an
// order needs it; each text is then ranked once among all tracks, so that the sorts themselves
// compare integers. Copies share the keys and ranks, so a copy costs one index per track.
class KeyedTracks {
 public:
  KeyedTracks();
  explicit KeyedTracks(const TrackArray& tracks);

  // Adds tracks at the end, in their order.
  void Append(const TrackArray& tracks);
  // Leaves out the tracks whose trackId is that of one of `removed`; the rest keep their order.
  void RemoveIds(const TrackArray& removed);

  // Sorts by `type`, starting from the order the previous sort left.
  void Sort(SortType type);

  // Whether track i of this list and track j of `other` have titles, albums and artists that
  // each compare equal; IdentityHash is equal for such tracks.
  bool SameIdentity(size_t i, KeyedTracks& other, size_t j);
  size_t IdentityHash(size_t i);

  // The tracks in their current order.
  TrackArray Tracks() const;
  size_t size() const { return order_.size(); }
  TrackInfo* at(size_t i) const;

 private:
  struct Store;
  struct Entry;
  Entry& EntryAt(size_t i);

  std::shared_ptr<Store> store_;
  std::vector<uint32_t> order_;  // indexes into the store
};

// Sorts `tracks` in place by `type`.
void SortTracks(TrackArray& tracks, SortType type);

}  // namespace tunewell
