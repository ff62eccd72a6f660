#include "sync/track_collection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "storage/random_source.h"
#include "sync/auto_sync_file.h"
#include "tests/sync/fake_player.h"
#include "tests/sync/memory_ipod.h"

namespace tunewell {
namespace {

using ::testing::ElementsAre;
using testing::FakeLibrary;
using testing::FakeMedia;
using testing::FakeSyncList;
using ::testing::IsEmpty;
using testing::kIPodRoot;
using testing::RecordingHost;
using testing::RecordingNotice;
using testing::RecordingProgress;
using testing::TitlesOnIPod;

std::vector<std::u16string> Titles(const OwnedTracks& tracks) {
  std::vector<std::u16string> titles;
  for (const auto& t : tracks) titles.push_back(t->title);
  return titles;
}

std::vector<std::u16string> Names(const PlaylistArray& playlists) {
  std::vector<std::u16string> names;
  for (const auto& p : playlists) names.push_back(static_cast<testing::FakePlaylist&>(*p).name());
  return names;
}

TEST(GatherTracksTest, RepeatsAcrossAndWithinPlaylistsAndFileTypes) {
  FakeLibrary library;
  auto a = library.AddMedia(u"Song", u"Artist", u"Album", u"/m/a.mp3");
  auto a_elsewhere = library.AddMedia(u"Song", u"Artist", u"Album", u"/other/a.mp3");
  auto other_album = library.AddMedia(u"Song", u"Artist", u"Live", u"/m/live.mp3");
  auto wma = library.AddMedia(u"Tune", u"Artist", u"Album", u"/m/t.wma", u"wma");
  auto tune_mp3 = library.AddMedia(u"Tune", u"Artist", u"Album", u"/m/t.mp3");
  auto caps = library.AddMedia(u"Loud", u"Artist", u"Album", u"/m/l.MP3", u"MP3");
  auto untyped = library.AddMedia(u"Blank", u"Artist", u"Album", u"/m/b.mp3", u"");
  auto b = library.AddMedia(u"Other", u"Artist", u"Album", u"/m/o.mp3");
  library.AddPlaylist(u"One", {a, a_elsewhere, other_album, wma, tune_mp3, caps, untyped});
  library.AddPlaylist(u"Two", {b, a, other_album, b});

  OwnedTracks tracks;
  int32_t not_mp3 = 0;
  GatherTracks(library.GetAllPlaylists(), &tracks, &not_mp3);
  // The second copy of a song is passed over silently; so is an MP3 that repeats an earlier
  // WMA. "MP3" in capitals and an empty type are not "mp3".
  EXPECT_THAT(Titles(tracks), ElementsAre(u"Song", u"Song", u"Other"));
  EXPECT_EQ(tracks[1]->album, u"Live");
  EXPECT_EQ(not_mp3, 3);
  // Positions are per playlist.
  EXPECT_EQ(tracks[0]->position, 0);
  EXPECT_EQ(tracks[1]->position, 2);
  EXPECT_EQ(tracks[2]->position, 0);
  EXPECT_EQ(tracks[0]->path, u"/m/a.mp3");
}

TEST(IsDuplicateOfEarlierTest, LooksOnlyBackwards) {
  FakeLibrary library;
  auto x = library.AddMedia(u"X", u"A", u"B", u"/x.mp3");
  auto x2 = library.AddMedia(u"X", u"A", u"B", u"/x2.mp3");
  auto x_other_artist = library.AddMedia(u"X", u"Z", u"B", u"/x3.mp3");
  library.AddPlaylist(u"P", {x, x_other_artist});
  library.AddPlaylist(u"Q", {x2});
  const PlaylistArray all = library.GetAllPlaylists();
  EXPECT_FALSE(IsDuplicateOfEarlier(all, 0, *x, 0));
  EXPECT_FALSE(IsDuplicateOfEarlier(all, 0, *x_other_artist, 1));
  EXPECT_TRUE(IsDuplicateOfEarlier(all, 1, *x2, 0));
  // An item later in the same playlist does not make an earlier one a repeat.
  EXPECT_FALSE(IsDuplicateOfEarlier(all, 0, *x2, 0));
  // Case matters.
  auto lower = library.AddMedia(u"x", u"A", u"B", u"/x4.mp3");
  EXPECT_FALSE(IsDuplicateOfEarlier(all, 1, *lower, 1));
}

TEST(TrackFromMediaTest, FillsEveryField) {
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
  const auto track = TrackFromMedia(media, 4);
  EXPECT_EQ(track->title, u"Title");
  EXPECT_EQ(track->path, u"/m/t.mp3");
  EXPECT_EQ(track->genre, u"Jazz");
  EXPECT_EQ(track->artist, u"Artist");
  EXPECT_EQ(track->composer, u"Composer");
  EXPECT_EQ(track->album, u"Album");
  EXPECT_EQ(track->kind, u"MPEG audio file");
  EXPECT_DOUBLE_EQ(track->duration, 183.5);
  EXPECT_EQ(track->bitrate, 192000);
  EXPECT_EQ(track->year, 1999);
  EXPECT_EQ(track->trackNumber, 7);
  EXPECT_EQ(track->fileSize, 4000000);
  EXPECT_TRUE(track->hasLyrics);
  EXPECT_FALSE(track->isVbr);   // "True" is not "true"
  EXPECT_EQ(track->rating, 4);  // the effective rating stands in for an empty user rating
  EXPECT_EQ(track->position, 4);

  FakeMedia rated(u"T", u"/p",
                  {{u"UserRating", u"13"}, {u"UserEffectiveRating", u"99"}, {u"IsVBR", u"true"}});
  const auto second = TrackFromMedia(rated, 0);
  EXPECT_EQ(second->rating, 2);
  EXPECT_TRUE(second->isVbr);
  EXPECT_FALSE(second->hasLyrics);
}

// Requests against a fake player and an iPod in memory.
class SyncRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::MakeIPod(env_);
    host_.root = kIPodRoot;
    host_.sync_list = &sync_list_;
  }

  // A library item whose source file exists.
  std::shared_ptr<FakeMedia> Song(const std::u16string& title, const std::string& file,
                                  std::u16string type = u"mp3") {
    const std::string path = "/music/" + file;
    env_.AddFile(path, std::string(500, 's')).IgnoreError();
    return library_.AddMedia(title, u"Artist", u"Album", NarrowToWide(path), type,
                             {{u"FileSize", u"500"}});
  }

  void Check(const std::string& title, const std::string& file) {
    sync_list_.rows.push_back({title, "/music/" + file});
  }

  SyncReport Request(int event) {
    progress_ = RecordingProgress();
    return HandleSyncRequest(SyncServices{env_, progress_, notice_, nullptr, &random_}, library_,
                             host_, event);
  }

  MemoryEnv env_;
  FakeLibrary library_;
  FakeSyncList sync_list_;
  RecordingHost host_;
  RecordingProgress progress_;
  RecordingNotice notice_;
  LcgRandom random_{3};
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

  const SyncReport report = Request(kEventSyncTab);
  EXPECT_TRUE(report.complete());
  EXPECT_EQ(report.total, 2);
  EXPECT_EQ(report.summary, (SyncSummary{2, 0, 2, 1}));
  EXPECT_THAT(TitlesOnIPod(env_), ElementsAre(u"Song", u"Two"));
  EXPECT_THAT(Names(library_.GetAllPlaylists()), IsEmpty());
  EXPECT_EQ(library_.new_playlists(), 1);
  EXPECT_EQ(host_.stops, 0);
  EXPECT_EQ(host_.refreshes, 1);
  EXPECT_EQ(host_.waits, 1);
  EXPECT_EQ(host_.wait_depth, 0);
  EXPECT_THAT(host_.notices, IsEmpty());
}

TEST_F(SyncRequestTest, AutoSyncFileNamesDecideEvenFromTheSyncTab) {
  auto one = Song(u"One", "one.mp3");
  auto two = Song(u"Two", "two.mp3");
  library_.AddPlaylist(u"Second", {two});
  library_.AddPlaylist(u"Other", {one});
  Check("One", "one.mp3");
  ASSERT_TRUE(WriteAutoSyncSelection(env_, kIPodRoot, {"Missing", "Second"}).ok());

  const SyncReport report = Request(kEventSyncTab);
  EXPECT_EQ(report.summary, (SyncSummary{1, 0, 1, 0}));
  EXPECT_THAT(TitlesOnIPod(env_), ElementsAre(u"Two"));
  EXPECT_EQ(library_.new_playlists(), 0);
}

TEST_F(SyncRequestTest, EmptyAutoSyncFileTakesEveryPlaylistOnce) {
  auto shared = Song(u"Shared", "shared.mp3");
  auto solo = Song(u"Solo", "solo.mp3");
  library_.AddPlaylist(u"A", {shared});
  library_.AddPlaylist(u"B", {shared, solo});
  library_.AddPlaylist(u"C", {shared});
  ASSERT_TRUE(WriteAutoSyncSelection(env_, kIPodRoot, {}).ok());

  const SyncReport report = Request(1);
  EXPECT_EQ(report.total, 2);
  EXPECT_THAT(TitlesOnIPod(env_), ElementsAre(u"Shared", u"Solo"));
}

TEST_F(SyncRequestTest, NoFileAndNotFromTheSyncTabSyncsNothing) {
  Song(u"One", "one.mp3");
  Check("One", "one.mp3");
  const auto before = env_.TakeSnapshot();
  for (int event : {1, 3, 4, 7}) {
    const SyncReport report = Request(event);
    EXPECT_EQ(report.total, 0) << event;
    EXPECT_THAT(progress_.calls, IsEmpty()) << event;
  }
  EXPECT_EQ(env_.TakeSnapshot(), before);
  EXPECT_EQ(host_.stops, 0);
  EXPECT_EQ(host_.wait_depth, 0);
  EXPECT_EQ(library_.new_playlists(), 0);
}

TEST_F(SyncRequestTest, SettingsAndRefreshEventsStopThePlayersOwnSync) {
  auto one = Song(u"One", "one.mp3");
  library_.AddPlaylist(u"P", {one});
  library_.AddPlaylist(u"Empty");
  ASSERT_TRUE(WriteAutoSyncSelection(env_, kIPodRoot, {"Empty"}).ok());
  Request(kEventSyncSettings);
  Request(kEventRefreshAndSync);
  EXPECT_EQ(host_.stops, 0);  // nothing to sync: the player's own sync may go on

  ASSERT_TRUE(WriteAutoSyncSelection(env_, kIPodRoot, {"P"}).ok());
  Request(kEventSyncSettings);
  Request(kEventRefreshAndSync);
  Request(1);
  EXPECT_EQ(host_.stops, 2);
}

TEST_F(SyncRequestTest, EventTwoOnlyShowsItsNotice) {
  auto one = Song(u"One", "one.mp3");
  library_.AddPlaylist(u"P", {one});
  ASSERT_TRUE(WriteAutoSyncSelection(env_, kIPodRoot, {}).ok());
  const auto before = env_.TakeSnapshot();
  Request(kEventNoticeOnly);
  EXPECT_THAT(host_.notices, ElementsAre("Harborline: Thank you for using Harborline. Please "
                                         "sync from the Sync Tab."));
  EXPECT_EQ(host_.root_asks, 0);
  EXPECT_EQ(host_.waits, 0);
  EXPECT_THAT(progress_.calls, IsEmpty());
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

TEST_F(SyncRequestTest, NoIPodRootStopsWithANotice) {
  Song(u"One", "one.mp3");
  Check("One", "one.mp3");
  host_.root.clear();
  const auto before = env_.TakeSnapshot();
  const SyncReport report = Request(kEventSyncTab);
  EXPECT_FALSE(report.status.ok());
  ASSERT_EQ(host_.notices.size(), 1u);
  EXPECT_THAT(progress_.calls, IsEmpty());
  EXPECT_EQ(library_.new_playlists(), 0);
  EXPECT_EQ(host_.wait_depth, 0);
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

TEST_F(SyncRequestTest, NoSyncListGivesAnEmptyTemporaryPlaylist) {
  Song(u"One", "one.mp3");
  Check("One", "one.mp3");
  host_.sync_list = nullptr;
  const SyncReport report = Request(kEventSyncTab);
  EXPECT_EQ(report.total, 0);
  EXPECT_EQ(library_.new_playlists(), 1);
  EXPECT_THAT(Names(library_.GetAllPlaylists()), IsEmpty());
}

// Which playlists each combination of file and event chooses.
TEST_F(SyncRequestTest, CollectPlaylistsByFileAndEvent) {
  auto one = Song(u"One", "one.mp3");
  library_.AddPlaylist(u"P", {one});
  library_.AddPlaylist(u"Q", {one, one});
  Check("One", "one.mp3");
  for (int event : {0, 1, 3, 4}) {
    SCOPED_TRACE(event);
    AutoSyncFile(env_).Delete(kIPodRoot).IgnoreError();
    PlaylistChoice c = CollectPlaylists(env_, library_, kIPodRoot, event, &sync_list_);
    EXPECT_EQ(c.autoSync, AutoSyncFile::ReadResult::kAbsent);
    if (event == 0) {
      EXPECT_THAT(Names(c.playlists), ElementsAre(u"TunewellTemp"));
      EXPECT_EQ(c.itemTotal, 1);
      RemoveTempPlaylist(library_);
    } else {
      EXPECT_THAT(c.playlists, IsEmpty());
    }

    WriteAutoSyncSelection(env_, kIPodRoot, {}).IgnoreError();
    c = CollectPlaylists(env_, library_, kIPodRoot, event, &sync_list_);
    EXPECT_EQ(c.autoSync, AutoSyncFile::ReadResult::kEmpty);
    EXPECT_THAT(Names(c.playlists), ElementsAre(u"P", u"Q"));
    EXPECT_EQ(c.itemTotal, 3);

    WriteAutoSyncSelection(env_, kIPodRoot, {"Q", "Nope", "P", "Q"}).IgnoreError();
    c = CollectPlaylists(env_, library_, kIPodRoot, event, &sync_list_);
    EXPECT_EQ(c.autoSync, AutoSyncFile::ReadResult::kNames);
    EXPECT_THAT(Names(c.playlists), ElementsAre(u"Q", u"P", u"Q"));
    EXPECT_EQ(c.itemTotal, 5);
  }
  EXPECT_EQ(library_.new_playlists(), 1);
}

}  // namespace
}  // namespace tunewell
