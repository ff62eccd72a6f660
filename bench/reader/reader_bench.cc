// The reader at the size of a full iPod: 40,000 tracks, about 40 MB of iTunesDB, on the real
// disk. Targets: the duplicate check of 10,000 candidates well under a second. Also the signature
// an iPod classic's database takes on every save, and its check on the bytes read back.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "database/database_layout.h"
#include "database/hash58.h"
#include "database/image_view.h"
#include "database/itunes_database.h"
#include "database/track_list.h"
#include "database/track_reader.h"
#include "platform/env.h"
#include "platform/path.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

constexpr size_t kTracks = 40000;
constexpr size_t kCandidates = 10000;
// Of the candidates, this many are already on the iPod.
constexpr size_t kHeld = 2500;

// Words of varied length; one in twenty texts carries an accented letter.
std::u16string Words(std::mt19937& random, int min_words, int max_words) {
  static const char16_t* const kWords[] = {
      u"love",  u"night",  u"the",       u"of",         u"river",     u"song",    u"blue",
      u"heart", u"dance",  u"Street",    u"Symphony",   u"in",        u"Major",   u"live",
      u"remix", u"dream",  u"fire",      u"road",       u"Orchestra", u"Quartet", u"and",
      u"moon",  u"summer", u"caf\u00E9", u"Bj\u00F6rk", u"No.",       u"sonata",  u"light"};
  std::u16string out;
  const int n = min_words + static_cast<int>(random() % (max_words - min_words + 1));
  for (int i = 0; i < n; ++i) {
    if (i > 0) out += u' ';
    out += kWords[random() % std::size(kWords)];
  }
  return out;
}

std::vector<fixture::FixtureTrack> LibraryTracks() {
  std::mt19937 random(42);
  std::vector<std::u16string> artists, albums, genres;
  for (int i = 0; i < 1500; ++i) artists.push_back(Words(random, 1, 3));
  for (int i = 0; i < 3500; ++i) albums.push_back(Words(random, 1, 4));
  for (int i = 0; i < 25; ++i) genres.push_back(Words(random, 1, 1));
  std::vector<fixture::FixtureTrack> tracks(kTracks);
  for (size_t k = 0; k < kTracks; ++k) {
    fixture::FixtureTrack& t = tracks[k];
    t.id = static_cast<uint32_t>(k + 1);
    t.track_number = static_cast<int32_t>(random() % 16 + 1);
    t.title = Words(random, 2, 6);
    t.artist = artists[random() % artists.size()];
    t.album = albums[random() % albums.size()];
    t.genre = genres[random() % genres.size()];
    if (random() % 2) t.composer = artists[random() % artists.size()];
    t.kind = u"MPEG audio file";
    char path[48];
    std::snprintf(path, sizeof path, ":iPod_Control:Music:F%02u:%c%c%c%c.mp3",
                  static_cast<unsigned>(random() % 20), 'A' + static_cast<char>(k % 26),
                  'A' + static_cast<char>(k / 26 % 26), 'A' + static_cast<char>(k / 676 % 26),
                  'A' + static_cast<char>(random() % 26));
    t.path = std::u16string(path, path + std::strlen(path));
  }
  return tracks;
}

// One database for every benchmark, written once.
struct Library {
  Library() {
    fixture::IPodTree tree;
    tree.itunes_db = fixture::BuildITunesDb(LibraryTracks());
    image_size = tree.itunes_db->size();
    if (!fixture::WriteIPodTree(Env::Default(), folder.path(), tree).ok()) std::abort();
    path = JoinPath(folder.path(), {"iPod_Control", "iTunes", "iTunesDB"});
  }
  fixture::TempFolder folder;
  std::string path;
  size_t image_size = 0;
};

Library& TheLibrary() {
  static Library library;
  return library;
}

void BM_Load(benchmark::State& state) {
  Library& library = TheLibrary();
  for (auto _ : state) {
    ITunesDatabase db(Env::Default());
    if (!db.Load(library.path, nullptr, false).ok() || db.trackList().count() != kTracks) {
      state.SkipWithError("load failed");
      return;
    }
    benchmark::DoNotOptimize(db.trackList().count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * library.image_size));
  state.counters["MB"] = static_cast<double>(library.image_size) / 1e6;
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parse alone, from an image already in memory: no file read, no title sort.
void BM_ParseImage(benchmark::State& state) {
  std::string image;
  if (!Env::Default().ReadFile(TheLibrary().path, &image).ok()) std::abort();
  for (auto _ : state) {
    const ImageView view(image);
    DatabaseLayout layout;
    OwnedTracks tracks;
    if (!ParseLayout(view, &layout).ok() || !ReadTracks(view, layout, &tracks).ok()) {
      state.SkipWithError("parse failed");
      return;
    }
    benchmark::DoNotOptimize(tracks.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_ParseImage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadTrackList(benchmark::State& state) {
  for (auto _ : state) {
    ITunesDatabase db(Env::Default());
    OwnedTracks tracks;
    if (!db.ReadTrackList(TheLibrary().path, &tracks).ok()) {
      state.SkipWithError("read failed");
      return;
    }
    benchmark::DoNotOptimize(tracks.data());
  }
}
BENCHMARK(BM_ReadTrackList)->Unit(benchmark::kMillisecond)->UseRealTime();

// 10,000 candidates against the 40,000 tracks of a freshly parsed list, so that no key of the
// database is known beforehand.
void BM_DropDuplicates(benchmark::State& state) {
  std::string image;
  if (!Env::Default().ReadFile(TheLibrary().path, &image).ok()) std::abort();
  const ImageView view(image);
  DatabaseLayout layout;
  OwnedTracks parsed;
  if (!ParseLayout(view, &layout).ok() || !ReadTracks(view, layout, &parsed).ok()) std::abort();

  std::mt19937 random(7);
  std::vector<TrackInfo> candidates(kCandidates);
  for (size_t i = 0; i < kCandidates; ++i) {
    if (i < kHeld) {
      candidates[i] = *parsed[random() % parsed.size()];
    } else {
      candidates[i].title = Words(random, 2, 6);
      candidates[i].artist = parsed[random() % parsed.size()]->artist;
      candidates[i].album = parsed[random() % parsed.size()]->album;
    }
  }
  std::shuffle(candidates.begin(), candidates.end(), random);
  TrackArray all;
  for (TrackInfo& c : candidates) all.push_back(&c);

  size_t kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    OwnedTracks copy;
    copy.reserve(parsed.size());
    for (const auto& t : parsed) copy.push_back(std::make_unique<TrackInfo>(*t));
    TrackList list(std::move(copy));
    TrackArray wanted = all;
    state.ResumeTiming();
    list.DropDuplicates(wanted);
    kept = wanted.size();
  }
  if (kept + kHeld > kCandidates) state.SkipWithError("held candidates were not all dropped");
  state.counters["kept"] = static_cast<double>(kept);
}
BENCHMARK(BM_DropDuplicates)->Unit(benchmark::kMillisecond)->UseRealTime();

// Signing the whole file, then checking it as a save checks what it reads back: two more passes
// of HMAC-SHA1 over the 40,000-track database.
void BM_SignAndCheck(benchmark::State& state) {
  fixture::ITunesDbOptions signed_layout;
  signed_layout.database_header_length = 188;
  signed_layout.signing_scheme = kHash58Scheme;
  std::string image = fixture::BuildITunesDb(LibraryTracks(), signed_layout);
  FireWireGuid guid;
  Hash58Key key;
  if (!ParseFireWireGuid("000A27001B2C3D4E", &guid) || !DeriveHash58Key(guid, &key).ok()) {
    std::abort();
  }
  for (auto _ : state) {
    if (!SignHash58(key, &image).ok() || !CheckHash58(key, image).ok()) {
      state.SkipWithError("signature failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2 * image.size()));
  state.counters["MB"] = static_cast<double>(image.size()) / 1e6;
}
BENCHMARK(BM_SignAndCheck)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tunewell
