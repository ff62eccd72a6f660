#pragma once

// A player library made of plain containers, a recording progress, and an iPod with source
// files on the in-memory file system.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "database/empty_database.h"
#include "database/ipod_database.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "sync/player_library.h"
#include "sync/progress.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/test_tracks.h"

namespace tunewell {

namespace fixture {

// One media item, playlist or query result.
struct FakeMedia : PlayerMedia {
  FakeMedia(std::u16string n, std::u16string u, std::map<std::u16string, std::u16string> i,
            double d = 0.0)
      : name(std::move(n)), url(std::move(u)), info(std::move(i)), duration(d) {}
  std::u16string Name() override { return name; }
  std::u16string SourceUrl() override { return url; }
  double Duration() override { return duration; }
  std::u16string GetItemInfo(std::u16string_view key) override {
    auto it = info.find(std::u16string(key));
    return it == info.end() ? std::u16string() : it->second;
  }
  std::u16string name, url;
  std::map<std::u16string, std::u16string> info;
  double duration;
};

struct FakePlaylist : PlayerPlaylist {
  explicit FakePlaylist(std::u16string n) : name(std::move(n)) {}
  int32_t Count() override { return static_cast<int32_t>(items.size()); }
  std::shared_ptr<PlayerMedia> Item(int32_t index) override { return items.at(index); }
  void AppendItem(const std::shared_ptr<PlayerMedia>& media) override { items.push_back(media); }
  std::u16string name;
  std::vector<std::shared_ptr<PlayerMedia>> items;
};

struct FakeLibrary : PlayerLibrary {
  // A library item by artist "Artist" on "Album"; `type` is its "FileType".
  std::shared_ptr<FakeMedia> AddMedia(std::u16string title, std::u16string path,
                                      std::u16string type = u"mp3",
                                      std::map<std::u16string, std::u16string> more = {}) {
    more.try_emplace(u"Author", u"Artist");
    more.try_emplace(u"WM/AlbumTitle", u"Album");
    more[u"FileType"] = std::move(type);
    return media.emplace_back(std::make_shared<FakeMedia>(title, path, more));
  }
  std::shared_ptr<FakePlaylist> AddPlaylist(std::u16string name,
                                            std::vector<std::shared_ptr<FakeMedia>> items = {}) {
    auto playlist = playlists.emplace_back(std::make_shared<FakePlaylist>(std::move(name)));
    playlist->items.assign(items.begin(), items.end());
    return playlist;
  }
  std::vector<std::u16string> Names() const {
    std::vector<std::u16string> names;
    for (const auto& p : playlists) names.push_back(p->name);
    return names;
  }
  std::shared_ptr<PlayerPlaylist> NewPlaylist(std::u16string_view name) override {
    ++new_playlists;
    return AddPlaylist(std::u16string(name));
  }
  PlaylistArray GetPlaylistsByName(std::u16string_view name) override {
    PlaylistArray found;
    for (auto& p : playlists) {
      if (p->name == name) found.push_back(p);
    }
    return found;
  }
  PlaylistArray GetAllPlaylists() override { return {playlists.begin(), playlists.end()}; }
  void RemovePlaylist(const std::shared_ptr<PlayerPlaylist>& playlist) override {
    std::erase_if(playlists, [&](const auto& p) { return p == playlist; });
  }
  std::shared_ptr<PlayerPlaylist> GetMediaByName(std::u16string_view title) override {
    auto found = std::make_shared<FakePlaylist>(u"");
    for (auto& m : media) {
      if (m->name == title) found->AppendItem(m);
    }
    return found;
  }
  std::vector<std::shared_ptr<FakeMedia>> media;
  std::vector<std::shared_ptr<FakePlaylist>> playlists;
  int new_playlists = 0;
};

// Every call as text, in order: "items 3", "status Initialising...", "step 20 %", "summary",
// "failure ...".
class RecordingProgress : public SyncProgress {
 public:
  std::vector<std::string> calls;
  ProgressModel model;
  std::string failure;

  void SetItemCount(int32_t items) override {
    model.SetItemCount(items);
    calls.push_back("items " + std::to_string(items));
  }
  void SetStatus(const std::string& text) override { calls.push_back("status " + text); }
  void Step() override { calls.push_back("step " + ProgressModel::PercentText(model.Step())); }
  void ShowSummary(const SyncSummary&) override { calls.push_back("summary"); }
  void ShowFailure(const std::string& text) override {
    calls.push_back("failure " + (failure = text));
  }
};

inline constexpr char kIPodRoot[] = "/ipod/";
inline constexpr char kDbPath[] = "/ipod/iPod_Control/iTunes/iTunesDB";
inline constexpr char kSdPath[] = "/ipod/iPod_Control/iTunes/iTunesSD";

// An empty database (and iTunesSD, with `shuffle`) and three music folders.
inline Status MakeIPod(MemoryEnv& env, bool shuffle = false) {
  IPodTree tree{3, BuildEmptyITunesDb()};
  if (shuffle) tree.itunes_sd = BuildEmptyITunesSd();
  return WriteIPodTree(env, kIPodRoot, tree);
}

// A source file of `size` bytes at /music/<name>.mp3 and a track on "Album" that names it.
inline std::unique_ptr<TrackInfo> AddSource(MemoryEnv& env, const std::string& name,
                                            std::u16string artist, std::u16string title,
                                            size_t size = 1000) {
  const std::string path = "/music/" + name + ".mp3";
  EXPECT_TRUE(env.AddFile(path, std::string(size, 'm')).ok());
  auto track =
      std::make_unique<TrackInfo>(MakeTrack(std::move(title), std::move(artist), u"Album"));
  track->path = NarrowToWide(path);
  track->fileSize = static_cast<int32_t>(size);
  return track;
}

// The titles on the iPod in display order.
inline std::vector<std::u16string> TitlesOnIPod(Env& env, const std::string& root = kIPodRoot) {
  OwnedTracks tracks;
  EXPECT_TRUE(IPodDatabase(env, root).ReadTrackList(&tracks).ok());
  std::vector<std::u16string> titles;
  for (const auto& t : tracks) titles.push_back(t->title);
  return titles;
}

// Everything on the volume but the lock file, which a run leaves behind by design.
inline MemoryEnv::Snapshot SnapshotWithoutLock(const MemoryEnv& env) {
  MemoryEnv::Snapshot snapshot = env.TakeSnapshot();
  std::erase_if(snapshot.files, [](const auto& f) { return f.first.ends_with(".tunewell.lock"); });
  return snapshot;
}

}  // namespace fixture
}  // namespace tunewell
