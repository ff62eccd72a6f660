#include "database/track_order.h"

#include <algorithm>

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

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

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

int CompareKeyField(Field field, const SortKeys& a, const SortKeys& b) {
  switch (field) {
    case Field::kTitle:
      return Sign(a.title.compare(b.title));
    case Field::kArtist:
      return Sign(a.artist.compare(b.artist));
    case Field::kAlbum:
      return Sign(a.album.compare(b.album));
    case Field::kGenre:
      return Sign(a.genre.compare(b.genre));
    case Field::kComposer:
      return Sign(a.composer.compare(b.composer));
    case Field::kNumber:
      return CompareNumbers(a.trackNumber, b.trackNumber);
  }
  return 0;
}

}  // namespace

SortKeys MakeSortKeys(const TrackInfo& track) {
  SortKeys keys;
  keys.title = SortKey(track.title);
  keys.artist = SortKey(track.artist);
  keys.album = SortKey(track.album);
  keys.genre = SortKey(track.genre);
  keys.composer = SortKey(track.composer);
  keys.trackNumber = track.trackNumber;
  return keys;
}

int CompareTracks(SortType type, const TrackInfo& a, const TrackInfo& b) {
  return CompareChain(type, a, b, CompareTrackField);
}

int CompareKeys(SortType type, const SortKeys& a, const SortKeys& b) {
  return CompareChain(type, a, b, CompareKeyField);
}

int CompareTitle(const TrackInfo& a, const TrackInfo& b) {
  return CompareTracks(SortType::kTitle, a, b);
}
int CompareAlbum(const TrackInfo& a, const TrackInfo& b) {
  return CompareTracks(SortType::kAlbum, a, b);
}
int CompareArtist(const TrackInfo& a, const TrackInfo& b) {
  return CompareTracks(SortType::kArtist, a, b);
}
int CompareGenre(const TrackInfo& a, const TrackInfo& b) {
  return CompareTracks(SortType::kGenre, a, b);
}
int CompareComposer(const TrackInfo& a, const TrackInfo& b) {
  return CompareTracks(SortType::kComposer, a, b);
}

KeyedTracks::KeyedTracks(const TrackArray& tracks) {
  entries_.reserve(tracks.size());
  for (TrackInfo* track : tracks) entries_.push_back(Entry{track, MakeSortKeys(*track)});
}

void KeyedTracks::Sort(SortType type) {
  std::sort(entries_.begin(), entries_.end(), [type](const Entry& a, const Entry& b) {
    return CompareKeys(type, a.keys, b.keys) < 0;
  });
}

TrackArray KeyedTracks::Tracks() const {
  TrackArray out;
  out.reserve(entries_.size());
  for (const Entry& e : entries_) out.push_back(e.track);
  return out;
}

void SortTracks(TrackArray& tracks, SortType type) {
  KeyedTracks keyed(tracks);
  keyed.Sort(type);
  tracks = keyed.Tracks();
}

}  // namespace tunewell
