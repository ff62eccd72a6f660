// Sync requests: which playlists and which of their items, by the auto-sync file and the event,
// against a player library made of plain containers.

#include "sync/track_collection.h"

#include <map>

#include "sync/auto_sync_file.h"
#include "sync/player_library.h"
#include "tests/sync/sync_fixture.h"

namespace tunewell {
namespace {

using namespace fixture;  // NOLINT: the tests' own helpers
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Names = std::vector<std::string>;

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

TEST(GatherTracksTest, RepeatsAcrossAndWithinPlaylistsAndFileTypes) {
  FakeLibrary library;
  auto a = library.AddMedia(u"Song", u"/m/a.mp3");
  auto a_elsewhere = library.AddMedia(u"Song", u"/other/a.mp3");
  auto live = library.AddMedia(u"Song", u"/m/live.mp3", u"mp3", {{u"WM/AlbumTitle", u"Live"}});
  auto wma = library.AddMedia(u"Tune", u"/m/t.wma", u"wma");
  auto tune_mp3 = library.AddMedia(u"Tune", u"/m/t.mp3");
  auto caps = library.AddMedia(u"Loud", u"/m/l.MP3", u"MP3");
  auto untyped = library.AddMedia(u"Blank", u"/m/b.mp3", u"");
  auto b = library.AddMedia(u"Other", u"/m/o.mp3");
  library.AddPlaylist(u"One", {a, a_elsewhere, live, wma, tune_mp3, caps, untyped});
  library.AddPlaylist(u"Two", {b, a, live, b});
  OwnedTracks tracks;
  int32_t not_mp3 = 0, repeats = 0;
  GatherTracks(library.GetAllPlaylists(), &tracks, &not_mp3, &repeats);
  // A second copy of a song is passed over silently; so is an MP3 that repeats an earlier WMA.
  // "MP3" in capitals and an empty type are not "mp3". Positions are per playlist.
  std::vector<std::string> gathered;
  for (const auto& t : tracks) {
    gathered.push_back(Utf16ToUtf8(t->title + u"/" + t->album) + " @" +
                       std::to_string(t->position));
  }
  EXPECT_THAT(gathered, ElementsAre("Song/Album @0", "Song/Live @2", "Other/Album @0"));
  EXPECT_EQ(std::tie(not_mp3, repeats), std::make_tuple(3, 5));
}

TEST(TrackFromMediaTest, AttributesBecomeFields) {
  FakeMedia media(u"Title", u"/m/t.mp3",
                  {{u"WM/Genre", u"Jazz"},
                   {u"Author", u"Artist"},
                   {u"WM/Composer", u"Composer"},
                   {u"WM/AlbumTitle", u"Album"},
                   {u"Bitrate", u"192000"},
                   {u"ReleaseDate", u"1999-04-01"},
                   {u"WM/TrackNumber", u"7/12"},
                   {u"FileSize", u"4000000"},
                   {u"WM/Lyrics", u"la la"},
                   {u"IsVBR", u"True"},
                   {u"UserEffectiveRating", u"75"}},
                  183.5);
  const auto t = TrackFromMedia(media, 4);
  EXPECT_EQ(std::tie(t->title, t->path, t->genre, t->artist, t->composer, t->album, t->kind),
            std::tie(u"Title", u"/m/t.mp3", u"Jazz", u"Artist", u"Composer", u"Album",
                     u"MPEG audio file"));
  // "True" is not "true"; the effective rating stands in for an empty user rating.
  EXPECT_EQ(std::tie(t->bitrate, t->year, t->trackNumber, t->fileSize, t->position, t->duration,
                     t->hasLyrics, t->isVbr, t->rating),
            std::make_tuple(192000, 1999, 7, 4000000, 4, 183.5, true, false, 4));
  FakeMedia rated(u"T", u"/p",
                  {{u"UserRating", u"13"}, {u"UserEffectiveRating", u"99"}, {u"IsVBR", u"true"}});
  const auto r = TrackFromMedia(rated, 0);
  EXPECT_EQ(std::tie(r->rating, r->isVbr, r->hasLyrics), std::make_tuple(2, true, false));
}

struct FakeSyncList : SyncListSource {
  std::vector<SyncListRow> CheckedRows() override { return rows; }
  std::vector<SyncListRow> rows;
};

class SyncRequestTest : public SyncRunTest {
 protected:
  void SetUp() override {
    env_.Erase("/");
    ASSERT_TRUE(MakeIPod(env_).ok());
    library_ = FakeLibrary();
    host_ = RecordingHost();
    host_.root = kIPodRoot;
    host_.sync_list = &sync_list_;
    sync_list_.rows.clear();
  }
  // A library item whose source file exists.
  std::shared_ptr<FakeMedia> Song(const std::u16string& title, const std::string& file,
                                  std::u16string type = u"mp3") {
    env_.AddFile("/music/" + file, std::string(500, 's')).IgnoreError();
    return library_.AddMedia(title, NarrowToWide("/music/" + file), type, {{u"FileSize", u"500"}});
  }
  void Check(const std::string& title, const std::string& file) {
    sync_list_.rows.push_back({title, "/music/" + file});
  }
  SyncReport Request(HookEvent event) {
    progress_ = RecordingProgress();
    return HandleSyncRequest(SyncServices{env_, progress_, notice_, nullptr, &random_}, library_,
                             host_, event);
  }

  FakeLibrary library_;
  FakeSyncList sync_list_;
};

TEST_F(SyncRequestTest, CheckedRowsGoThroughATemporaryPlaylist) {
  Song(u"One", "one.mp3");
  Song(u"Two", "two.mp3");
  Song(u"Song", "a/song.mp3");
  Song(u"Song", "b/song.mp3");  // the same song kept in another folder
  Song(u"Tune", "tune.wma", u"wma");
  Check("Two", "two.mp3");
  Check("Song", "a/song.mp3");
  Check("Song", "b/song.mp3");
  Check("Tune", "tune.wma");
  Check("One", "moved/one.mp3");          // no library item has this path any more
  library_.AddPlaylist(u"TunewellTemp");  // left over from an earlier request
  const SyncReport report = Request(HookEvent::kSyncTab);
  EXPECT_TRUE(report.complete());
  EXPECT_EQ(report.summary, (SyncSummary{2, 0, 2, 1}));
  EXPECT_THAT(TitlesOnIPod(env_), ElementsAre(u"Song", u"Two"));
  EXPECT_THAT(library_.Names(), IsEmpty());
  EXPECT_EQ(library_.new_playlists, 1);
  EXPECT_EQ(std::tie(host_.stops, host_.refreshes, host_.waits, host_.wait_depth),
            std::make_tuple(0, 1, 1, 0));
  EXPECT_THAT(host_.notices.shown, IsEmpty());

  // Without a Sync list the temporary playlist stays empty.
  host_.sync_list = nullptr;
  EXPECT_EQ(Request(HookEvent::kSyncTab).total, 0);
  EXPECT_EQ(library_.new_playlists, 2);
  EXPECT_THAT(library_.Names(), IsEmpty());
}

// Every auto-sync file against every event. The file decides whenever there is one, even from
// the Sync tab; without one, only the Sync tab syncs (its checked rows); event 2 only thanks.
TEST_F(SyncRequestTest, AutoSyncFileByEvent) {
  const std::optional<Names> files[] = {std::nullopt, Names{}, Names{"Second", "Missing", "Second"},
                                        Names{"Empty"}};
  const Titles chosen[] = {{u"One"}, {u"One", u"Two"}, {u"Two"}, {}};
  for (size_t f = 0; f < std::size(files); ++f) {
    for (HookEvent event : {HookEvent::kSyncTab, HookEvent::kSync, HookEvent::kNoticeOnly,
                            HookEvent::kSyncSettings, HookEvent::kRefreshAndSync}) {
      SCOPED_TRACE("file " + std::to_string(f) + ", event " +
                   std::to_string(static_cast<int>(event)));
      SetUp();
      library_.AddPlaylist(u"Second", {Song(u"Two", "two.mp3")});
      library_.AddPlaylist(u"Other", {Song(u"One", "one.mp3")});
      library_.AddPlaylist(u"Empty");
      Check("One", "one.mp3");
      if (files[f]) {
        ASSERT_TRUE(WriteAutoSyncSelection(env_, kIPodRoot, *files[f]).ok());
      }
      const auto before = env_.TakeSnapshot();
      Request(event);
      if (event == HookEvent::kNoticeOnly) {
        EXPECT_THAT(host_.notices.shown,
                    ElementsAre(std::string(kNoticeCaption) + ": " + kSyncFromSyncTabNotice));
        EXPECT_EQ(std::tie(host_.root_asks, host_.waits), std::make_tuple(0, 0));
        EXPECT_EQ(env_.TakeSnapshot(), before);
        continue;
      }
      const Titles expected = !files[f] && event != HookEvent::kSyncTab ? Titles{} : chosen[f];
      EXPECT_EQ(TitlesOnIPod(env_), expected);
      EXPECT_EQ(progress_.calls.empty(), expected.empty());
      // The player's own sync stops only for settings and refresh events with work to do.
      const bool stops =
          (event == HookEvent::kSyncSettings || event == HookEvent::kRefreshAndSync) &&
          !expected.empty();
      EXPECT_EQ(host_.stops, stops ? 1 : 0);
      EXPECT_EQ(library_.new_playlists, !files[f] && event == HookEvent::kSyncTab ? 1 : 0);
      EXPECT_EQ(library_.Names(), (Titles{u"Second", u"Other", u"Empty"}));
      EXPECT_EQ(host_.wait_depth, 0);
    }
  }
}

// Without an iPod a request stops before anything else; only a sync from the Sync tab says why.
TEST_F(SyncRequestTest, NoIPodRootStopsWithANoticeForTheSyncTabOnly) {
  Song(u"One", "one.mp3");
  Check("One", "one.mp3");
  host_.root.clear();
  const auto before = env_.TakeSnapshot();
  EXPECT_FALSE(Request(HookEvent::kSync).status.ok());
  EXPECT_FALSE(Request(HookEvent::kSyncTab).status.ok());
  EXPECT_THAT(host_.notices.shown, ElementsAre(std::string(kNoticeCaption) + ": " + kNoIPodNotice));
  EXPECT_THAT(progress_.calls, IsEmpty());
  EXPECT_EQ(std::tie(library_.new_playlists, host_.wait_depth), std::make_tuple(0, 0));
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

}  // namespace
}  // namespace tunewell
