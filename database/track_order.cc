#include "database/track_order.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/collation.h"

namespace tunewell {

namespace {

enum class Field { kTitle, kArtist, kAlbum, kGenre, kComposer, kNumber };

// Key chains, most significant first.
std::span<const Field> Chain(SortType type) {
  static constexpr Field kTitle[] = {Field::kTitle};
  static constexpr Field kAlbum[] = {Field::kAlbum, Field::kNumber, Field::kTitle};
  static constexpr Field kArtist[] = {Field::kArtist, Field::kAlbum, Field::kNumber, Field::kTitle};
  static constexpr Field kGenre[] = {Field::kGenre, Field::kArtist, Field::kAlbum, Field::kNumber,
                                     Field::kTitle};
  static constexpr Field kComposer[] = {Field::kComposer, Field::kTitle};
  switch (type) {
    case SortType::kTitle:
      return kTitle;
    case SortType::kAlbum:
      return kAlbum;
    case SortType::kArtist:
      return kArtist;
    case SortType::kGenre:
      return kGenre;
    case SortType::kComposer:
      return kComposer;
  }
  return {};
}

uint8_t Bit(Field field) { return static_cast<uint8_t>(1u << static_cast<int>(field)); }

int CompareNumbers(int32_t a, int32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

template <class Record, class FieldCompare>
int CompareChain(SortType type, const Record& a, const Record& b, FieldCompare compare) {
  for (Field field : Chain(type)) {
    const int r = compare(field, a, b);
    if (r != 0) return r;
  }
  return 0;
}

int CompareTrackField(Field field, const TrackInfo& a, const TrackInfo& b) {
  switch (field) {
    case Field::kTitle:
      return CompareText(a.title, b.title);
    case Field::kArtist:
      return CompareText(a.artist, b.artist);
    case Field::kAlbum:
      return CompareText(a.album, b.album);
    case Field::kGenre:
      return CompareText(a.genre, b.genre);
    case Field::kComposer:
      return CompareText(a.composer, b.composer);
    case Field::kNumber:
      return CompareNumbers(a.trackNumber, b.trackNumber);
  }
  return 0;
}

}  // namespace

int CompareTracks(SortType type, const TrackInfo& a, const TrackInfo& b) {
  return CompareChain(type, a, b, CompareTrackField);
}

constexpr int kTextFields = 5;

struct KeyedTracks::Entry {
  TrackInfo* track = nullptr;
  uint32_t text[kTextFields];  // by Field: the id of the entry's text among the field's texts
  uint8_t computed = 0;        // bit per field whose id is in `text`
};

// Append-only: every KeyedTracks made from another refers to the same entries by index.
struct KeyedTracks::Store {
  // The different texts of one field. A library repeats its artists, albums, genres and
  // composers thousands of times: each text's key is computed, hashed and sorted once.
  struct Texts {
    std::unordered_map<std::u16string_view, uint32_t> ids;  // text, kept in the blocks
    std::vector<std::string_view> keys;                     // by id
    std::vector<size_t> hashes;                             // of the keys, by id
    // The ranked ids by key, and each one's place among them, equal keys equal places.
    std::vector<std::pair<std::string_view, uint32_t>> sorted;
    std::vector<int32_t> ranks;
  };

  std::vector<Entry> entries;
  Texts texts[kTextFields];
  // ranks[f][e]: the rank of entry e's text of field f; valid for the first ranked[f] entries.
  std::vector<int32_t> ranks[kTextFields];
  size_t ranked[kTextFields] = {};
  // Texts and keys, side by side: a database's tracks have them by the ten thousand, and one
  // allocation each would dominate loading them. Blocks never move.
  std::vector<std::unique_ptr<char[]>> blocks;
  char* block_next = nullptr;
  size_t block_left = 0;

  const char* Keep(const void* bytes, size_t size) {
    // Even sizes and offsets keep UTF-16 texts aligned.
    const size_t room = (size + 1) & ~size_t{1};
    if (room > block_left) {
      block_left = std::max(room, size_t{256} << 10);
      blocks.push_back(std::make_unique_for_overwrite<char[]>(block_left));
      block_next = blocks.back().get();
    }
    std::memcpy(block_next, bytes, size);
    const char* kept = block_next;
    block_next += room;
    block_left -= room;
    return kept;
  }

  uint32_t TextId(uint32_t e, Field field) {
    Entry& entry = entries[e];
    const int f = static_cast<int>(field);
    if (!(entry.computed & Bit(field))) {
      const TrackInfo& t = *entry.track;
      const std::u16string* all[kTextFields] = {&t.title, &t.artist, &t.album, &t.genre,
                                                &t.composer};
      const std::u16string& text = *all[f];
      Texts& known = texts[f];
      auto it = known.ids.find(text);
      if (it == known.ids.end()) {
        const auto* kept = reinterpret_cast<const char16_t*>(
            text.empty() ? nullptr : Keep(text.data(), text.size() * sizeof(char16_t)));
        const std::string key = SortKey(text);
        const std::string_view kept_key =
            key.empty() ? std::string_view()
                        : std::string_view(Keep(key.data(), key.size()), key.size());
        it = known.ids.emplace(std::u16string_view(kept, text.size()), known.keys.size()).first;
        known.keys.push_back(kept_key);
        known.hashes.push_back(std::hash<std::string_view>()(kept_key));
      }
      entry.text[f] = it->second;
      entry.computed |= Bit(field);
    }
    return entry.text[f];
  }

  std::string_view Key(uint32_t e, Field field) {
    return texts[static_cast<int>(field)].keys[TextId(e, field)];
  }

  void Rank(Field field) {
    const int f = static_cast<int>(field);
    if (ranked[f] == entries.size()) return;
    for (uint32_t e = static_cast<uint32_t>(ranked[f]); e < entries.size(); ++e) TextId(e, field);
    Texts& known = texts[f];
    // Texts added later (a sync's new tracks) are merged in, not sorted afresh.
    const size_t old = known.sorted.size();
    if (old < known.keys.size()) {
      for (uint32_t id = static_cast<uint32_t>(old); id < known.keys.size(); ++id) {
        known.sorted.emplace_back(known.keys[id], id);
      }
      const auto less = [](const auto& a, const auto& b) { return a.first < b.first; };
      std::sort(known.sorted.begin() + old, known.sorted.end(), less);
      std::inplace_merge(known.sorted.begin(), known.sorted.begin() + old, known.sorted.end(),
                         less);
      known.ranks.assign(known.keys.size(), 0);
      int32_t rank = 0;
      for (size_t i = 0; i < known.sorted.size(); ++i) {
        if (i > 0 && known.sorted[i].first != known.sorted[i - 1].first) ++rank;
        known.ranks[known.sorted[i].second] = rank;
      }
      ranked[f] = 0;  // every entry's rank may have moved
    }
    ranks[f].resize(entries.size());
    for (size_t e = ranked[f]; e < entries.size(); ++e) {
      ranks[f][e] = known.ranks[entries[e].text[f]];
    }
    ranked[f] = entries.size();
  }
};

KeyedTracks::KeyedTracks() : store_(std::make_shared<Store>()) {}

KeyedTracks::KeyedTracks(const TrackArray& tracks) : KeyedTracks() { Append(tracks); }

TrackInfo* KeyedTracks::at(size_t i) const { return store_->entries[order_[i]].track; }

KeyedTracks::Entry& KeyedTracks::EntryAt(size_t i) { return store_->entries[order_[i]]; }

void KeyedTracks::Append(const TrackArray& tracks) {
  std::vector<Entry>& entries = store_->entries;
  // With room for a sync's new tracks beside a loaded database's: adding them moves no entries.
  entries.reserve(entries.size() + tracks.size() + tracks.size() / 16);
  order_.reserve(order_.size() + tracks.size());
  for (TrackInfo* track : tracks) {
    order_.push_back(static_cast<uint32_t>(entries.size()));
    entries.emplace_back().track = track;
  }
}

void KeyedTracks::RemoveIds(const TrackArray& removed) {
  std::unordered_set<uint32_t> ids;
  for (const TrackInfo* track : removed) ids.insert(track->trackId);
  std::erase_if(order_,
                [&](uint32_t e) { return ids.count(store_->entries[e].track->trackId) > 0; });
}

void KeyedTracks::Sort(SortType type) {
  const std::span<const Field> chain = Chain(type);
  for (Field field : chain) {
    if (field != Field::kNumber) store_->Rank(field);
  }
  Store& store = *store_;
  // Each field's value for an entry, counted from the smallest among the tracks in order.
  auto value = [&](Field field, uint32_t e) -> uint32_t {
    if (field == Field::kNumber) return static_cast<uint32_t>(store.entries[e].track->trackNumber);
    return static_cast<uint32_t>(store.ranks[static_cast<int>(field)][e]);
  };
  uint32_t least[kTextFields + 1] = {};
  int width[kTextFields + 1] = {};
  int total_width = 0;
  for (size_t k = 0; k < chain.size(); ++k) {
    const bool number = chain[k] == Field::kNumber;
    // Numbers are signed: flipping the top bit keeps their order among unsigned values.
    const uint32_t flip = number ? 0x8000'0000u : 0;
    uint32_t low = UINT32_MAX, high = 0;
    for (uint32_t e : order_) {
      const uint32_t v = value(chain[k], e) ^ flip;
      low = std::min(low, v);
      high = std::max(high, v);
    }
    least[k] = order_.empty() ? 0 : low ^ flip;
    width[k] = order_.empty() ? 0 : std::bit_width(high - low);
    total_width += width[k];
  }
  // Where the whole chain fits in 64 bits, the sort compares one integer per track.
  if (total_width <= 64) {
    std::vector<std::pair<uint64_t, uint32_t>> packed(order_.size());
    for (size_t i = 0; i < order_.size(); ++i) {
      uint64_t key = 0;
      for (size_t k = 0; k < chain.size(); ++k) {
        const uint32_t v = value(chain[k], order_[i]) - least[k];
        key = width[k] == 0 ? key : (key << width[k]) | v;
      }
      packed[i] = {key, order_[i]};
    }
    std::stable_sort(packed.begin(), packed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < order_.size(); ++i) order_[i] = packed[i].second;
    return;
  }
  std::stable_sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) {
    for (Field field : chain) {
      int32_t x, y;
      if (field == Field::kNumber) {
        x = store.entries[a].track->trackNumber;
        y = store.entries[b].track->trackNumber;
      } else {
        x = store.ranks[static_cast<int>(field)][a];
        y = store.ranks[static_cast<int>(field)][b];
      }
      if (x != y) return x < y;
    }
    return false;
  });
}

size_t KeyedTracks::IdentityHash(size_t i) {
  const uint32_t e = order_[i];
  size_t h = 0;
  for (Field field : {Field::kTitle, Field::kAlbum, Field::kArtist}) {
    h = h * 1000003 ^ store_->texts[static_cast<int>(field)].hashes[store_->TextId(e, field)];
  }
  return h;
}

bool KeyedTracks::SameIdentity(size_t i, KeyedTracks& other, size_t j) {
  for (Field field : {Field::kTitle, Field::kAlbum, Field::kArtist}) {
    if (store_->Key(order_[i], field) != other.store_->Key(other.order_[j], field)) return false;
  }
  return true;
}

TrackArray KeyedTracks::Tracks() const {
  TrackArray out;
  out.reserve(order_.size());
  for (uint32_t e : order_) out.push_back(store_->entries[e].track);
  return out;
}

void SortTracks(TrackArray& tracks, SortType type) {
  KeyedTracks keyed(tracks);
  keyed.Sort(type);
  tracks = keyed.Tracks();
}

}  // namespace tunewell
