#include "tests/support/itunesdb_fixture.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace tunewell::fixture {

void PutU32(std::string* image, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*image)[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutU64(std::string* image, size_t offset, uint64_t value) {
  PutU32(image, offset, static_cast<uint32_t>(value));
  PutU32(image, offset + 4, static_cast<uint32_t>(value >> 32));
}

uint32_t GetU32(std::string_view image, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(image[offset + i]);
  return value;
}

uint64_t GetU64(std::string_view image, size_t offset) {
  return GetU32(image, offset) | (uint64_t{GetU32(image, offset + 4)} << 32);
}

void PutU24BE(std::string* image, size_t offset, uint32_t value) {
  for (int i = 0; i < 3; ++i) {
    (*image)[offset + i] = static_cast<char>((value >> (8 * (2 - i))) & 0xFF);
  }
}

uint32_t GetU24BE(std::string_view image, size_t offset) {
  uint32_t value = 0;
  for (int i = 0; i < 3; ++i) value = (value << 8) | static_cast<uint8_t>(image[offset + i]);
  return value;
}

std::string Utf16Le(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t unit : text) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  return out;
}

namespace {

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Appends records to one buffer. A record's header is written zero-filled with its tag and
// header length; its total length is patched in when it ends. Fields that would lie past the
// record's header are left out, so that short headers make short, not overlapping, records.
class Writer {
 public:
  struct Record {
    size_t at;
    uint32_t header_length;
  };

  Record Begin(std::string_view tag, uint32_t header_length) {
    Record r{out_.size(), header_length};
    out_.append(header_length, '\0');
    std::memcpy(out_.data() + r.at, tag.data(), std::min<size_t>(4, header_length));
    Field(r, 4, header_length);
    return r;
  }
  void End(const Record& r) { Field(r, 8, static_cast<uint32_t>(out_.size() - r.at)); }

  void Field(const Record& r, uint32_t offset, uint32_t value) {
    if (offset + 4 <= r.header_length) PutU32(&out_, r.at + offset, value);
  }
  void Field64(const Record& r, uint32_t offset, uint64_t value) {
    if (offset + 8 <= r.header_length) PutU64(&out_, r.at + offset, value);
  }
  void Byte(const Record& r, uint32_t offset, uint8_t value) {
    if (offset < r.header_length) out_[r.at + offset] = static_cast<char>(value);
  }

  // A data record: 24-byte header, then `body` (which starts at +24).
  size_t DataRecord(uint32_t type, const std::string& body) {
    Record r = Begin("mhod", 24);
    Field(r, 12, type);
    out_ += body;
    End(r);
    return r.at;
  }

  // A string record: +24 encoding, +28 length, +32 1, text from +40.
  size_t StringRecord(uint32_t type, std::string_view bytes, uint32_t encoding) {
    std::string body(16, '\0');
    PutU32(&body, 0, encoding);
    PutU32(&body, 4, static_cast<uint32_t>(bytes.size()));
    PutU32(&body, 8, 1);
    body += bytes;
    return DataRecord(type, body);
  }

  void Pad(size_t n) { out_.append(n, '\0'); }
  size_t size() const { return out_.size(); }
  std::string& out() { return out_; }

 private:
  std::string out_;
};

constexpr uint32_t kSortTypes[] = {3, 5, 4, 7, 18};

void WriteTrack(Writer& w, const FixtureTrack& t, const ITunesDbOptions& o) {
  Writer::Record r = w.Begin("mhit", o.track_header_length);
  const std::pair<uint32_t, const std::u16string*> texts[] = {
      {kTitle, &t.title}, {kArtist, &t.artist}, {kComposer, &t.composer}, {kAlbum, &t.album},
      {kGenre, &t.genre}, {kKind, &t.kind},     {kPath, &t.path}};
  uint32_t strings = static_cast<uint32_t>(t.extra_strings.size());
  for (const auto& [type, text] : texts) strings += text->empty() ? 0 : 1;
  const uint64_t dbid = t.database_id != 0 ? t.database_id : 0x1000000000ull + t.id;
  w.Field(r, 12, strings);
  w.Field(r, 16, t.id);
  w.Field(r, 20, 1);
  w.Field(r, 24, 0x4D503320);  // "MP3 " stored reversed
  w.Byte(r, 29, 1);
  w.Field(r, 36, 4000000);
  w.Field(r, 40, 215000);
  w.Field(r, 44, static_cast<uint32_t>(t.track_number));
  w.Field(r, 52, 2004);
  w.Field(r, 56, 192);
  w.Field64(r, 112, dbid);
  w.Byte(r, 126, 0xFF);
  w.Byte(r, 127, 0xFF);
  w.Field(r, 144, 12);
  w.Field64(r, 168, dbid);
  w.Field(r, 208, 1);
  for (const auto& [type, text] : texts) {
    if (!text->empty()) w.StringRecord(type, Utf16Le(*text), 1);
  }
  for (const RawString& s : t.extra_strings) w.StringRecord(s.type, s.bytes, s.encoding);
  w.End(r);
}

void WriteItem(Writer& w, const FixtureItem& item, const ITunesDbOptions& o,
               std::vector<size_t>* offsets) {
  Writer::Record r = w.Begin("mhip", o.item_header_length);
  if (offsets) offsets->push_back(r.at);
  w.Field(r, 12, item.position ? 1 : 0);
  w.Field(r, 24, item.track_id);
  if (item.position) {
    std::string body(20, '\0');
    PutU32(&body, 0, *item.position);
    w.DataRecord(100, body);
  }
  w.End(r);
}

void WritePlaylist(Writer& w, const std::vector<FixtureTrack>& tracks, const ITunesDbOptions& o,
                   bool library, int number, PlaylistDatasetMap* map) {
  Writer::Record r = w.Begin("mhyp", o.playlist_header_length);
  map->playlists.push_back(r.at);
  w.Byte(r, 20, library ? 1 : 0);
  w.Field64(r, 28, 0x2000000000ull + number);
  uint32_t records = 0;
  std::vector<size_t> record_offsets;
  auto note = [&](size_t at) {
    record_offsets.push_back(at);
    ++records;
  };
  if (!library || o.library_title) {
    note(w.StringRecord(
        1, Utf16Le(library ? u"iPod" : u"Playlist " + Ascii(std::to_string(number))), 1));
  }
  if (o.preferences_records) note(w.DataRecord(100, std::string(624, '\0')));
  std::vector<FixtureItem> items;
  if (library && o.items) {
    items = *o.items;
  } else {
    for (size_t k = 0; k < tracks.size(); ++k) {
      items.push_back(FixtureItem{
          tracks[k].id, o.item_positions ? std::optional<uint32_t>(k + 1) : std::nullopt});
    }
  }
  if (library) {
    const uint32_t entries = o.sort_index_entries.value_or(static_cast<uint32_t>(tracks.size()));
    for (int i = 0; i < o.sort_index_count; ++i) {
      const uint32_t sort_type = kSortTypes[i % 5];
      std::string body(48 + 4 * size_t{entries}, '\0');
      PutU32(&body, 0, sort_type);
      PutU32(&body, 4, entries);
      for (uint32_t k = 0; k < entries; ++k) PutU32(&body, 48 + 4 * k, k);
      note(w.DataRecord(52, body));
      if (o.jump_tables) {
        const uint32_t letters = tracks.empty() ? 0 : 1;
        std::string jump(16 + 12 * letters, '\0');
        PutU32(&jump, 0, sort_type);
        PutU32(&jump, 4, letters);
        if (letters) {
          jump[16] = 'A';
          PutU32(&jump, 20, 0);
          PutU32(&jump, 24, static_cast<uint32_t>(tracks.size()));
        }
        note(w.DataRecord(53, jump));
      }
    }
    for (int i = 0; i < o.trailing_records; ++i) note(w.DataRecord(100, std::string(20, '\0')));
  }
  w.Field(r, 12, records);
  w.Field(r, 16, static_cast<uint32_t>(items.size()));
  if (library) map->data_records = record_offsets;
  for (const FixtureItem& item : items) WriteItem(w, item, o, library ? &map->items : nullptr);
  w.End(r);
}

// The tag of the (empty) list inside a dataset of a type this builder does not fill.
std::string_view ListTag(uint32_t type) {
  switch (type) {
    case 4:
      return "mhla";
    case 8:
      return "mhli";
    case 6:
    case 10:
      return "mhlt";
    default:
      return "mhlp";
  }
}

}  // namespace

ITunesDbOptions ManyDatasetLayout() {
  ITunesDbOptions o;
  o.database_header_length = 244;
  o.database_version = 0x30;
  o.dataset_types = {1, 3, 2, 4, 8, 6, 10, 5};
  o.track_header_length = 584;
  o.preferences_records = true;
  o.jump_tables = true;
  o.extra_playlists = 1;
  return o;
}

ITunesDbOptions TwoDatasetLayout() {
  ITunesDbOptions o;
  o.database_version = 0xc;
  o.dataset_types = {1, 2};
  o.track_header_length = 160;
  o.playlist_header_length = 112;
  o.library_title = false;
  o.sort_index_count = 0;
  o.item_positions = false;
  return o;
}

std::vector<FixtureTrack> SampleTracks(size_t n) {
  std::vector<FixtureTrack> tracks;
  tracks.reserve(n);
  for (size_t k = 0; k < n; ++k) {
    FixtureTrack t;
    t.id = static_cast<uint32_t>(k + 1);
    t.track_number = static_cast<int32_t>(k % 12 + 1);
    t.title = Ascii("Title " + std::to_string(k));
    t.artist = Ascii("Artist " + std::to_string(k % 5));
    t.album = Ascii("Album " + std::to_string(k % 3));
    t.genre = u"Rock";
    t.path = Ascii(":iPod_Control:Music:F0" + std::to_string(k % 3) + ":TRK" + std::to_string(k) +
                   ".mp3");
    tracks.push_back(std::move(t));
  }
  return tracks;
}

std::string BuildITunesDb(const std::vector<FixtureTrack>& tracks, const ITunesDbOptions& o,
                          ITunesDbMap* map) {
  ITunesDbMap local;
  ITunesDbMap& m = map ? *map : local;
  m = ITunesDbMap();
  Writer w;
  Writer::Record db = w.Begin("mhbd", o.database_header_length);
  w.Field(db, 12, 1);
  w.Field(db, 16, o.database_version);
  w.Field(db, 20, static_cast<uint32_t>(o.dataset_types.size()));
  w.Field64(db, 24, 0x0123456789ABCDEFull);
  for (uint32_t type : o.dataset_types) {
    Writer::Record ds = w.Begin("mhsd", o.dataset_header_length);
    m.datasets.push_back(ds.at);
    w.Field(ds, 12, type);
    if (type == 1) {
      Writer::Record list = w.Begin("mhlt", o.track_list_header_length);
      w.Field(list, 8, static_cast<uint32_t>(tracks.size()));
      m.track_list = list.at;
      for (const FixtureTrack& t : tracks) {
        m.tracks.push_back(w.size());
        WriteTrack(w, t, o);
      }
      w.Pad(o.track_dataset_padding);
    } else if (type == 2 || type == 3) {
      PlaylistDatasetMap pm;
      int playlist_number = 0;  // the same in both datasets: they mirror each other
      pm.dataset = ds.at;
      const uint32_t list_header = type == 3 && o.second_playlist_list_header_length
                                       ? *o.second_playlist_list_header_length
                                       : o.playlist_list_header_length;
      Writer::Record list = w.Begin("mhlp", list_header);
      pm.playlist_list = list.at;
      w.Field(list, 8, static_cast<uint32_t>(1 + o.extra_playlists));
      WritePlaylist(w, tracks, o, true, playlist_number++, &pm);
      for (int i = 0; i < o.extra_playlists; ++i) {
        WritePlaylist(w, tracks, o, false, playlist_number++, &pm);
      }
      m.playlist_datasets.push_back(std::move(pm));
    } else {
      Writer::Record list = w.Begin(ListTag(type), 92);
      w.Field(list, 8, 0);
    }
    w.End(ds);
  }
  w.Pad(o.file_padding);
  w.End(db);
  return std::move(w.out());
}

// ---------------------------------------------------------------------------------------------
// Inspection: an independent, strict reading.

std::u16string InspectedTrack::Text(uint32_t type) const {
  for (const auto& [t, text] : strings) {
    if (t == type) return text;
  }
  return std::u16string();
}

namespace {

std::u16string FromUtf16Le(std::string_view bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                         (static_cast<uint8_t>(bytes[i + 1]) << 8)));
  }
  return text;
}

class Inspector {
 public:
  Inspector(std::string_view image, std::string* error) : image_(image), error_(error) {}

  bool Database(InspectedDb* db) {
    uint32_t header = 0;
    uint32_t total = 0;
    if (!Record(0, image_.size(), "mhbd", &header, &total)) return false;
    if (total != image_.size()) {
      return Fail(8, "file length " + std::to_string(total) + " is not the image's " +
                         std::to_string(image_.size()));
    }
    size_t at = header;
    while (at < total) {
      InspectedDataset ds;
      if (!Dataset(at, total, db, &ds)) return false;
      at += ds.total_length;
      db->datasets.push_back(std::move(ds));
    }
    return true;
  }

 private:
  bool Fail(size_t offset, const std::string& problem) {
    if (error_) *error_ = "offset " + std::to_string(offset) + ": " + problem;
    return false;
  }

  // Checks tag and header length of the record at `at`, which must end by `end`, and its total
  // length unless it is a list ("mhlt", "mhlp"), whose +8 is a count.
  bool Record(size_t at, size_t end, std::string_view tag, uint32_t* header, uint32_t* total,
              bool list = false) {
    if (end > image_.size() || at > end || end - at < 12) {
      return Fail(at, std::string(tag) + " record cut short");
    }
    if (image_.substr(at, 4) != tag) {
      return Fail(at,
                  "expected " + std::string(tag) + ", found " + std::string(image_.substr(at, 4)));
    }
    *header = GetU32(image_, at + 4);
    *total = GetU32(image_, at + 8);
    if (*header < 12 || *header > end - at || (!list && (*total < *header || *total > end - at))) {
      return Fail(at, std::string(tag) + " lengths " + std::to_string(*header) + "/" +
                          std::to_string(*total) + " do not fit");
    }
    return true;
  }

  bool Exactly(size_t at, size_t expected_end, size_t end, const char* what) {
    if (end == expected_end) return true;
    return Fail(at, std::string(what) + " holds " + std::to_string(end - at) +
                        " bytes of records but its length says " +
                        std::to_string(expected_end - at));
  }

  bool DataRecord(size_t at, size_t end, InspectedRecord* r) {
    uint32_t header = 0;
    if (!Record(at, end, "mhod", &header, &r->total_length)) return false;
    r->type = GetU32(image_, at + 12);
    if (r->type == 52 || r->type == 53) {
      if (r->total_length < 40) return Fail(at, "index record shorter than 40 bytes");
      r->sort_type = GetU32(image_, at + 24);
    }
    if (r->type == 52) {
      const uint32_t count = GetU32(image_, at + 28);
      if (r->total_length != 72 + uint64_t{4} * count) {
        return Fail(at, "sort index of " + std::to_string(count) + " entries is " +
                            std::to_string(r->total_length) + " bytes long");
      }
      for (uint32_t k = 0; k < count; ++k) r->entries.push_back(GetU32(image_, at + 72 + 4 * k));
    }
    return true;
  }

  bool Item(size_t at, size_t end, InspectedItem* item) {
    uint32_t header = 0;
    if (!Record(at, end, "mhip", &header, &item->total_length)) return false;
    if (header < 28) return Fail(at, "item header too short for its track id");
    item->track_id = GetU32(image_, at + 24);
    const uint32_t children = GetU32(image_, at + 12);
    const size_t item_end = at + item->total_length;
    size_t o = at + header;
    for (uint32_t i = 0; i < children; ++i) {
      uint32_t child_header = 0;
      uint32_t child_total = 0;
      if (!Record(o, item_end, "mhod", &child_header, &child_total)) return false;
      if (GetU32(image_, o + 12) == 100 && child_total >= 28) {
        item->position = GetU32(image_, o + 24);
      }
      o += child_total;
    }
    return Exactly(at, item_end, o, "playlist item");
  }

  bool Playlist(size_t at, size_t end, InspectedPlaylist* pl) {
    uint32_t header = 0;
    if (!Record(at, end, "mhyp", &header, &pl->total_length)) return false;
    if (header < 20) return Fail(at, "playlist header too short for its counts");
    const size_t pl_end = at + pl->total_length;
    const uint32_t records = GetU32(image_, at + 12);
    const uint32_t items = GetU32(image_, at + 16);
    size_t o = at + header;
    for (uint32_t i = 0; i < records; ++i) {
      InspectedRecord r;
      if (!DataRecord(o, pl_end, &r)) return false;
      o += r.total_length;
      pl->records.push_back(std::move(r));
    }
    for (uint32_t i = 0; i < items; ++i) {
      InspectedItem item;
      if (!Item(o, pl_end, &item)) return false;
      o += item.total_length;
      pl->items.push_back(item);
    }
    return Exactly(at, pl_end, o, "playlist");
  }

  bool Track(size_t at, size_t end, InspectedTrack* t) {
    uint32_t header = 0;
    if (!Record(at, end, "mhit", &header, &t->total_length)) return false;
    if (header < 48) return Fail(at, "track header too short for its track number");
    t->id = GetU32(image_, at + 16);
    t->track_number = static_cast<int32_t>(GetU32(image_, at + 44));
    if (header >= 120) t->database_id = GetU64(image_, at + 112);
    const uint32_t count = GetU32(image_, at + 12);
    const size_t t_end = at + t->total_length;
    size_t o = at + header;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t string_header = 0;
      uint32_t total = 0;
      if (!Record(o, t_end, "mhod", &string_header, &total)) return false;
      if (total < 40) return Fail(o, "string record shorter than 40 bytes");
      const uint32_t length = GetU32(image_, o + 28);
      if (40 + uint64_t{length} > total) return Fail(o, "text runs past its record");
      std::string_view bytes = image_.substr(o + 40, length);
      const uint32_t type = GetU32(image_, o + 12);
      t->strings.emplace_back(
          type, GetU32(image_, o + 24) == 2 ? Utf8ToUtf16(bytes) : FromUtf16Le(bytes));
      o += total;
    }
    return Exactly(at, t_end, o, "track record");
  }

  bool Dataset(size_t at, size_t end, InspectedDb* db, InspectedDataset* ds) {
    uint32_t header = 0;
    if (!Record(at, end, "mhsd", &header, &ds->total_length)) return false;
    if (header < 16) return Fail(at, "dataset header too short for its type");
    ds->type = GetU32(image_, at + 12);
    const size_t ds_end = at + ds->total_length;
    const size_t list = at + header;
    uint32_t list_header = 0;
    uint32_t count = 0;
    if (ds->type == 1) {
      if (!Record(list, ds_end, "mhlt", &list_header, &count, true)) return false;
      size_t o = list + list_header;
      for (uint32_t i = 0; i < count; ++i) {
        InspectedTrack t;
        if (!Track(o, ds_end, &t)) return false;
        o += t.total_length;
        db->tracks.push_back(std::move(t));
      }
      return Exactly(at, ds_end, o, "track dataset");
    }
    if (ds->type == 2 || ds->type == 3) {
      if (!Record(list, ds_end, "mhlp", &list_header, &count, true)) return false;
      size_t o = list + list_header;
      for (uint32_t i = 0; i < count; ++i) {
        InspectedPlaylist pl;
        if (!Playlist(o, ds_end, &pl)) return false;
        o += pl.total_length;
        ds->playlists.push_back(std::move(pl));
      }
      return Exactly(at, ds_end, o, "playlist dataset");
    }
    return true;
  }

  std::string_view image_;
  std::string* error_;
};

}  // namespace

bool InspectITunesDb(std::string_view image, InspectedDb* db, std::string* error) {
  *db = InspectedDb();
  return Inspector(image, error).Database(db);
}

// ---------------------------------------------------------------------------------------------
// iTunesSD.

namespace {
constexpr size_t kSdHeader = 18;
constexpr size_t kSdEntry = 558;
constexpr size_t kSdName = 33;
constexpr size_t kSdNameBytes = 522;
}  // namespace

std::string BuildITunesSd(const std::vector<std::u16string>& locations,
                          const ITunesSdOptions& options) {
  std::string image(kSdHeader, '\0');
  PutU24BE(&image, 0, options.declared_count.value_or(static_cast<uint32_t>(locations.size())));
  PutU24BE(&image, 3, 0x010600);
  PutU24BE(&image, 6, kSdHeader);
  for (const std::u16string& location : locations) {
    std::string entry(kSdEntry, '\0');
    PutU24BE(&entry, 0, kSdEntry);
    PutU24BE(&entry, 3, 0x5AA501);
    PutU24BE(&entry, 24, 100);
    PutU24BE(&entry, 27, 1);
    PutU24BE(&entry, 30, 0x200);
    std::u16string name = location;
    std::replace(name.begin(), name.end(), u':', u'/');
    const std::string bytes = Utf16Le(name).substr(0, kSdNameBytes);
    entry.replace(kSdName, bytes.size(), bytes);
    entry[555] = 1;
    image += entry;
  }
  image += options.trailing;
  return image;
}

std::vector<std::u16string> ReadITunesSdNames(std::string_view image) {
  std::vector<std::u16string> names;
  if (image.size() < kSdHeader) return names;
  const uint32_t count = GetU24BE(image, 0);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = kSdHeader + size_t{i} * kSdEntry;
    if (at + kSdEntry > image.size()) break;
    std::u16string name = FromUtf16Le(image.substr(at + kSdName, kSdNameBytes));
    name.resize(std::find(name.begin(), name.end(), u'\0') - name.begin());
    std::replace(name.begin(), name.end(), u'/', u':');
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace tunewell::fixture
