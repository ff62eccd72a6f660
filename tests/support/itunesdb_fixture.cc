#include "tests/support/itunesdb_fixture.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "platform/text.h"

namespace tunewell::fixture {

namespace {

char16_t GetU16(std::string_view image, size_t offset) {
  return char16_t(uint8_t(image[offset]) | uint8_t(image[offset + 1]) << 8);
}

std::u16string FromUtf16Le(std::string_view bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) text.push_back(GetU16(bytes, i));
  return text;
}

// Words from +24 of a data record's body onwards, then `tail`.
std::string Body(std::initializer_list<uint32_t> words, std::string_view tail = {}) {
  std::string body(4 * words.size(), '\0');
  size_t at = 0;
  for (uint32_t w : words) PutU32(&body, 4 * at++, w);
  return body.append(tail);
}

// Appends records to one buffer: a zero-filled header with its tag, header length and fields
// (those past the header left out, so that short headers make short records, not overlapping
// ones), then the children; End() patches the total length in.
class Writer {
 public:
  // `fields`: offset, value, offset, value... of 32-bit fields.
  size_t Begin(std::string_view tag, uint32_t header, std::initializer_list<uint64_t> fields = {}) {
    const size_t at = out_.size();
    out_.append(header, '\0');
    std::memcpy(out_.data() + at, tag.data(), std::min<size_t>(4, header));
    Set(at, header, {4, header});
    Set(at, header, fields);
    return at;
  }
  void Set(size_t at, uint32_t header, std::initializer_list<uint64_t> fields) {
    for (auto f = fields.begin(); f != fields.end(); f += 2) {
      if (f[0] + 4 <= header) PutU32(&out_, at + f[0], static_cast<uint32_t>(f[1]));
    }
  }
  void End(size_t at) { PutU32(&out_, at + 8, static_cast<uint32_t>(out_.size() - at)); }
  // A data record: 24-byte header, type at +12, then `body`.
  size_t Data(uint32_t type, std::string_view body) {
    const size_t at = Begin("mhod", 24, {12, type});
    out_ += body;
    End(at);
    return at;
  }
  // +24 encoding, +28 length, +32 1, text from +40.
  size_t String(uint32_t type, std::string_view bytes, uint32_t encoding = 1) {
    return Data(type, Body({encoding, static_cast<uint32_t>(bytes.size()), 1, 0}, bytes));
  }
  std::string out_;
};

void WriteTrack(Writer& w, const FixtureTrack& t, const ITunesDbOptions& o) {
  const std::pair<uint32_t, const std::u16string*> texts[] = {
      {1, &t.title}, {4, &t.artist}, {12, &t.composer}, {3, &t.album},
      {5, &t.genre}, {6, &t.kind},   {2, &t.path}};
  uint32_t strings = static_cast<uint32_t>(t.extra_strings.size());
  for (const auto& text : texts) strings += text.second->empty() ? 0 : 1;
  const uint64_t dbid = t.database_id != 0 ? t.database_id : 0x1000000000ull + t.id;
  const size_t at =
      w.Begin("mhit", o.track_header_length,
              {12,  strings,    16,  t.id,    20,  1,      24,  0x4D503320,
               28,  0x100,      36,  4000000, 40,  215000, 44,  uint32_t(t.track_number),
               52,  2004,       56,  192,     112, dbid,   116, dbid >> 32,
               124, 0xFFFF0000, 144, 12,      168, dbid,   172, dbid >> 32,
               208, 1});
  for (const auto& [type, text] : texts) {
    if (!text->empty()) w.String(type, Utf16Le(*text));
  }
  for (const RawString& s : t.extra_strings) w.String(s.type, s.bytes, s.encoding);
  w.End(at);
}

void WritePlaylist(Writer& w, const std::vector<FixtureTrack>& tracks, const ITunesDbOptions& o,
                   int number, PlaylistDatasetMap* map) {
  const bool library = number == 0;
  const size_t at =
      w.Begin("mhyp", o.playlist_header_length, {20, library, 28, uint32_t(number), 32, 0x20});
  map->playlists.push_back(at);
  std::vector<size_t> records;
  if (!library || o.library_title) {
    records.push_back(w.String(1, Utf16Le(library ? u"iPod" : u"Playlist")));
  }
  if (o.preferences_records) records.push_back(w.Data(100, std::string(624, '\0')));
  std::vector<FixtureItem> items;
  for (size_t k = 0; k < tracks.size(); ++k) {
    items.push_back(
        {tracks[k].id, o.item_positions ? std::optional<uint32_t>(k + 1) : std::nullopt});
  }
  if (library) {
    if (o.items) items = *o.items;
    const uint32_t n = o.sort_index_entries.value_or(static_cast<uint32_t>(tracks.size()));
    const uint32_t letters = tracks.empty() ? 0 : 1;
    for (int i = 0; i < o.sort_index_count; ++i) {
      constexpr uint32_t kSortTypes[] = {3, 5, 4, 7, 18};
      const uint32_t sort_type = kSortTypes[i % 5];
      std::string entries;
      for (uint32_t k = 0; k < n; ++k) entries += Body({k});
      records.push_back(w.Data(52, Body({sort_type, n}, std::string(40, '\0') + entries)));
      if (o.jump_tables) {
        const std::string jump = letters ? Body({'A', 0, uint32_t(tracks.size())}) : "";
        records.push_back(w.Data(53, Body({sort_type, letters, 0, 0}, jump)));
      }
    }
    for (int i = 0; i < o.trailing_records; ++i)
      records.push_back(w.Data(100, Body({0, 0, 0, 0, 0})));
    map->data_records = records;
  }
  w.Set(at, o.playlist_header_length, {12, records.size(), 16, items.size()});
  for (const FixtureItem& item : items) {
    const size_t item_at =
        w.Begin("mhip", o.item_header_length, {12, item.position ? 1u : 0u, 24, item.track_id});
    if (library) map->items.push_back(item_at);
    if (item.position) w.Data(100, Body({*item.position, 0, 0, 0, 0}));
    w.End(item_at);
  }
  w.End(at);
}

}  // namespace

void PutU32(std::string* image, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*image)[offset + i] = static_cast<char>(value >> (8 * i));
}

uint32_t GetU32(std::string_view image, size_t offset) {
  return GetU16(image, offset) | uint32_t{GetU16(image, offset + 2)} << 16;
}

std::string Utf16Le(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) out += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  return out;
}

ITunesDbOptions ManyDatasetLayout() {
  return {.database_header_length = 244,
          .track_header_length = 584,
          .dataset_types = {1, 3, 2, 4, 8, 6, 10, 5},
          .preferences_records = true,
          .jump_tables = true,
          .extra_playlists = 1};
}

ITunesDbOptions SignedLayout() {
  ITunesDbOptions o = ManyDatasetLayout();
  o.signing_scheme = 1;
  return o;
}

ITunesDbOptions TwoDatasetLayout() {
  return {.track_header_length = 160,
          .playlist_header_length = 112,
          .dataset_types = {1, 2},
          .library_title = false,
          .sort_index_count = 0,
          .item_positions = false};
}

std::vector<FixtureTrack> SampleTracks(size_t n) {
  std::vector<FixtureTrack> tracks;
  for (size_t k = 0; k < n; ++k) {
    const std::string s = std::to_string(k);
    tracks.push_back({.id = static_cast<uint32_t>(k + 1),
                      .track_number = static_cast<int32_t>(k % 12 + 1),
                      .title = Utf8ToUtf16("Title " + s),
                      .artist = Utf8ToUtf16("Artist " + std::to_string(k % 5)),
                      .album = Utf8ToUtf16("Album " + std::to_string(k % 3)),
                      .genre = u"Rock",
                      .path = Utf8ToUtf16(":iPod_Control:Music:F0" + std::to_string(k % 3) +
                                          ":TRK" + s + ".mp3")});
  }
  return tracks;
}

std::string BuildITunesDb(const std::vector<FixtureTrack>& tracks, const ITunesDbOptions& o,
                          ITunesDbMap* map) {
  ITunesDbMap local;
  ITunesDbMap& m = map ? *map : local;
  m = ITunesDbMap();
  Writer w;
  const size_t db = w.Begin("mhbd", o.database_header_length,
                            {12, 1, 16, 0x19, 20, o.dataset_types.size(), 24, 0x89ABCDEF, 28,
                             0x01234567, 48, o.signing_scheme, 56, 0x5A5A5A5A});
  for (uint32_t type : o.dataset_types) {
    const size_t ds = w.Begin("mhsd", o.dataset_header_length, {12, type});
    m.datasets.push_back(ds);
    if (type == 1) {
      m.track_list = w.Begin("mhlt", o.track_list_header_length, {8, tracks.size()});
      for (const FixtureTrack& t : tracks) {
        m.tracks.push_back(w.out_.size());
        WriteTrack(w, t, o);
      }
      w.out_.append(o.track_dataset_padding, '\0');
    } else if (type == 2 || type == 3) {
      PlaylistDatasetMap pm{.dataset = ds};
      const bool second = type == 3 && o.second_playlist_list_header_length;
      pm.playlist_list = w.Begin(
          "mhlp", second ? *o.second_playlist_list_header_length : o.playlist_list_header_length,
          {8, 1u + o.extra_playlists});
      // Numbered alike in both datasets: they mirror each other.
      for (int i = 0; i <= o.extra_playlists; ++i) WritePlaylist(w, tracks, o, i, &pm);
      m.playlist_datasets.push_back(std::move(pm));
    } else {
      w.Begin(type == 4                 ? "mhla"
              : type == 8               ? "mhli"
              : type == 6 || type == 10 ? "mhlt"
                                        : "mhlp",
              92);
    }
    w.End(ds);
  }
  w.End(db);
  return std::move(w.out_);
}

namespace {

// Trusts no length: each is checked against what remains of its parent, and a record's children
// must fill it exactly.
class Inspector {
 public:
  Inspector(std::string_view image, std::string* error) : s_(image), error_(error) {}

  bool Database(InspectedDb* db) {
    size_t end = 0;
    if (!Open(0, s_.size(), "mhbd", 12, &end)) return false;
    if (end != s_.size()) return Fail(8, "file length is not the image's");
    for (size_t o = U32(4); o < end;) {
      if (!Dataset(o, end, db, &o)) return false;
    }
    return true;
  }

 private:
  uint32_t U32(size_t at) const { return GetU32(s_, at); }
  bool Fail(size_t offset, const std::string& problem) {
    if (error_) *error_ = "offset " + std::to_string(offset) + ": " + problem;
    return false;
  }
  // The record at `at` carries `tag` and a header of at least `min_header` bytes and ends, at
  // `*record_end`, by `end`; a list ("mhlt", "mhlp") ends with its parent.
  bool Open(size_t at, size_t end, std::string_view tag, uint32_t min_header, size_t* record_end) {
    if (end > s_.size() || at > end || end - at < 12 || s_.substr(at, 4) != tag) {
      return Fail(at, "no " + std::string(tag) + " record");
    }
    const uint32_t total = tag == "mhlt" || tag == "mhlp" ? uint32_t(end - at) : U32(at + 8);
    if (U32(at + 4) < min_header || total < U32(at + 4) || total > end - at) {
      return Fail(at, std::string(tag) + " lengths do not fit");
    }
    *record_end = at + total;
    return true;
  }
  // `count` records of `tag` from `o` (default: the end of the header at `at`), each handed to
  // `f(at, end)`; they must fill the record at `at`, unless `after` takes where they end.
  template <typename F>
  bool Children(size_t at, size_t end, uint32_t count, std::string_view tag, uint32_t min_header,
                F f, size_t* after = nullptr, size_t o = 0) {
    if (o == 0) o = at + U32(at + 4);
    for (size_t child_end = 0; count > 0; --count, o = child_end) {
      if (!Open(o, end, tag, min_header, &child_end) || !f(o, child_end)) return false;
    }
    if (after != nullptr) return *after = o, true;
    return o == end || Fail(at, "children do not fill it");
  }

  bool Track(size_t at, size_t end, InspectedTrack* t) {
    t->id = U32(at + 16);
    if (U32(at + 4) >= 120) t->database_id = U32(at + 112) | uint64_t{U32(at + 116)} << 32;
    return Children(at, end, U32(at + 12), "mhod", 24, [&](size_t o, size_t e) {
      if (e - o < 40 || 40 + uint64_t{U32(o + 28)} > e - o) return Fail(o, "bad text");
      const std::string_view bytes = s_.substr(o + 40, U32(o + 28));
      if (U32(o + 12) == 1) t->title = U32(o + 24) == 2 ? Utf8ToUtf16(bytes) : FromUtf16Le(bytes);
      return true;
    });
  }

  bool Playlist(size_t at, size_t end, InspectedPlaylist* pl) {
    size_t items = 0;
    return Children(
               at, end, U32(at + 12), "mhod", 24,
               [&](size_t o, size_t e) {
                 InspectedRecord& r =
                     pl->records.emplace_back(InspectedRecord{.type = U32(o + 12)});
                 if ((r.type == 52 || r.type == 53) && e - o >= 28) r.sort_type = U32(o + 24);
                 for (size_t k = o + 40; r.type == 53 && k + 12 <= e; k += 12) {
                   r.entries.insert(r.entries.end(), {U32(k), U32(k + 4), U32(k + 8)});
                 }
                 if (r.type != 52) return true;
                 if (e - o < 72 || e - o != 72 + uint64_t{4} * U32(o + 28)) {
                   return Fail(o, "sort index length does not match its entries");
                 }
                 for (size_t k = o + 72; k < e; k += 4) r.entries.push_back(U32(k));
                 return true;
               },
               &items) &&
           Children(
               at, end, U32(at + 16), "mhip", 28,
               [&](size_t o, size_t e) {
                 InspectedItem& item =
                     pl->items.emplace_back(InspectedItem{.track_id = U32(o + 24)});
                 return Children(o, e, U32(o + 12), "mhod", 24, [&](size_t c, size_t ce) {
                   if (U32(c + 12) == 100 && ce - c >= 28) item.position = U32(c + 24);
                   return true;
                 });
               },
               nullptr, items);
  }

  bool Dataset(size_t at, size_t end, InspectedDb* db, size_t* next) {
    InspectedDataset& ds = db->datasets.emplace_back();
    if (!Open(at, end, "mhsd", 16, next)) return false;
    ds.type = U32(at + 12);
    if (ds.type != 1 && ds.type != 2 && ds.type != 3) return true;
    const size_t list = at + U32(at + 4);
    size_t list_end = 0;
    if (!Open(list, *next, ds.type == 1 ? "mhlt" : "mhlp", 12, &list_end)) return false;
    if (ds.type == 1) {
      return Children(list, list_end, U32(list + 8), "mhit", 48,
                      [&](size_t o, size_t e) { return Track(o, e, &db->tracks.emplace_back()); });
    }
    return Children(list, list_end, U32(list + 8), "mhyp", 20, [&](size_t o, size_t e) {
      return Playlist(o, e, &ds.playlists.emplace_back());
    });
  }

  std::string_view s_;
  std::string* error_;
};

}  // namespace

bool InspectITunesDb(std::string_view image, InspectedDb* db, std::string* error) {
  *db = InspectedDb();
  return Inspector(image, error).Database(db);
}

// iTunesSD: 24-bit big-endian fields; an entry's name is 522 bytes at +33.

namespace {
constexpr size_t kSdHeader = 18, kSdEntry = 558, kSdName = 33, kSdNameBytes = 522;
std::string Be24(uint32_t v) { return {char(v >> 16), char(v >> 8), char(v)}; }
}  // namespace

std::string BuildITunesSd(const std::vector<std::u16string>& locations) {
  std::string image = Be24(uint32_t(locations.size())) + Be24(0x010600) + Be24(kSdHeader);
  image.resize(kSdHeader);
  for (std::u16string name : locations) {
    std::replace(name.begin(), name.end(), u':', u'/');
    std::string bytes = Utf16Le(name).substr(0, kSdNameBytes);
    bytes.resize(kSdNameBytes);
    image += Be24(kSdEntry) + Be24(0x5AA501) + std::string(18, '\0') + Be24(100) + Be24(1) +
             Be24(0x200) + bytes + std::string("\x01\0\0", 3);
  }
  return image;
}

std::vector<std::u16string> ReadITunesSdNames(std::string_view image) {
  std::vector<std::u16string> names;
  const size_t count = image.size() < kSdHeader ? 0
                                                : size_t(uint8_t(image[0])) << 16 |
                                                      uint8_t(image[1]) << 8 | uint8_t(image[2]);
  for (size_t at = kSdHeader; names.size() < count && at + kSdEntry <= image.size();
       at += kSdEntry) {
    std::u16string name = FromUtf16Le(image.substr(at + kSdName, kSdNameBytes));
    name.resize(std::find(name.begin(), name.end(), u'\0') - name.begin());
    std::replace(name.begin(), name.end(), u'/', u':');
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace tunewell::fixture
