#include "sync/removal_run.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "tests/support/gpod_client.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"
#include "tests/support/test_paths.h"

namespace tunewell {
namespace {

using fixture::FixtureTrack;
using fixture::IPodTree;
using fixture::PathOfLocation;

std::string Location(const FixtureTrack& track) { return Utf16ToUtf8(track.path); }

// An iPod whose database lists `tracks`, with an audio file for each ("audio <id>") and,
// with `shuffle`, an iTunesSD naming them all.
IPodTree TreeOf(const std::vector<FixtureTrack>& tracks, bool shuffle) {
  IPodTree tree;
  tree.music_folders = 3;
  tree.itunes_db = fixture::BuildITunesDb(tracks);
  std::vector<std::u16string> locations;
  for (const FixtureTrack& t : tracks) {
    locations.push_back(t.path);
    if (t.path.rfind(u":iPod_Control:Music:F0", 0) == 0) {
      tree.files[Location(t)] = "audio " + std::to_string(t.id);
    }
  }
  if (shuffle) tree.itunes_sd = fixture::BuildITunesSd(locations);
  return tree;
}

// The iPod's tracks as a removal receives them: read back from its database.
OwnedTracks ReadTracks(Env& env, const std::string& root) {
  IPodDatabase ipod(env, root);
  OwnedTracks tracks;
  EXPECT_TRUE(ipod.ReadTrackList(&tracks).ok());
  return tracks;
}

TrackArray Pick(const OwnedTracks& tracks, std::initializer_list<uint32_t> ids) {
  TrackArray picked;
  for (const auto& t : tracks) {
    if (std::find(ids.begin(), ids.end(), t->trackId) != ids.end()) picked.push_back(t.get());
  }
  EXPECT_EQ(picked.size(), ids.size());
  return picked;
}

std::vector<uint32_t> IdsOn(Env& env, const std::string& root) {
  std::vector<uint32_t> ids;
  for (const auto& t : ReadTracks(env, root)) ids.push_back(t->trackId);
  std::sort(ids.begin(), ids.end());
  return ids;
}

TEST(RemovalOnDiskTest, TwoTracksSharingAFolderLeaveBothDatabasesAndTheirFilesGo) {
  fixture::TempFolder folder;
  const std::string root = folder.path();
  Env& env = Env::Default();
  const auto sample = fixture::SampleTracks(6);
  ASSERT_TRUE(fixture::WriteIPodTree(env, root, TreeOf(sample, true)).ok());

  const OwnedTracks tracks = ReadTracks(env, root);
  IPodDatabase ipod(env, root);
  RemovalReport report;
  // Tracks 1 and 4 both lie in F00.
  ASSERT_TRUE(RemoveTracksFromIPod(ipod, Pick(tracks, {1, 4}), &report).ok());
  EXPECT_EQ(report.files_deleted, 2);
  EXPECT_EQ(report.files_missing, 0);
  EXPECT_TRUE(report.files_kept.empty());

  EXPECT_EQ(IdsOn(env, root), (std::vector<uint32_t>{2, 3, 5, 6}));
  std::string sd;
  ASSERT_TRUE(env.ReadFile(ipod.sdPath(), &sd).ok());
  EXPECT_EQ(fixture::ReadITunesSdNames(sd),
            (std::vector<std::u16string>{sample[1].path, sample[2].path, sample[4].path,
                                         sample[5].path}));
  for (const FixtureTrack& t : sample) {
    const bool removed = t.id == 1 || t.id == 4;
    EXPECT_EQ(env.KindOf(PathOfLocation(root, Location(t))),
              removed ? PathKind::kNone : PathKind::kFile)
        << Location(t);
  }
  EXPECT_EQ(env.KindOf(PathOfLocation(root, ":iPod_Control:Music:F00")), PathKind::kFolder);

  if (fixture::GpodToolPath().empty()) GTEST_SKIP() << "no libgpod here";
  fixture::GpodDump dump;
  std::string error;
  ASSERT_TRUE(fixture::GpodDumpOf(root, &dump, &error)) << error;
  EXPECT_EQ(dump.tracks.size(), 4u);
  EXPECT_EQ(dump.master_count, 4);
}

class RemovalTest : public ::testing::Test {
 protected:
  static constexpr const char* kRoot = "E:/";

  void SetUp() override { Make(fixture::SampleTracks(6), true); }
  void Make(const std::vector<FixtureTrack>& tracks, bool shuffle) {
    sample_ = tracks;
    ASSERT_TRUE(fixture::WriteIPodTree(env_, kRoot, TreeOf(tracks, shuffle)).ok());
    tracks_ = ReadTracks(env_, kRoot);
  }
  std::string FileOf(uint32_t id) const { return PathOfLocation(kRoot, Location(sample_[id - 1])); }
  Status Remove(std::initializer_list<uint32_t> ids, RemovalReport* report = nullptr) {
    IPodDatabase ipod(env_, kRoot);
    return RemoveTracksFromIPod(ipod, Pick(tracks_, ids), report);
  }
  // The audio files and both databases, which a refused removal must leave as they were.
  MemoryEnv::Snapshot Watched() const {
    MemoryEnv::Snapshot all = env_.TakeSnapshot(), watched;
    for (const auto& [path, contents] : all.files) {
      if (path.find(".mp3") != std::string::npos || path.ends_with("iTunesDB") ||
          path.ends_with("iTunesSD")) {
        watched.files.emplace(path, contents);
      }
    }
    return watched;
  }

  MemoryEnv env_;
  std::vector<FixtureTrack> sample_;
  OwnedTracks tracks_;
};

TEST_F(RemovalTest, NothingToRemoveKeepsEveryTrackAndFile) {
  IPodDatabase ipod(env_, kRoot);
  RemovalReport report;
  ASSERT_TRUE(RemoveTracksFromIPod(ipod, {}, &report).ok());
  EXPECT_EQ(report.files_deleted, 0);
  EXPECT_EQ(IdsOn(env_, kRoot), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
  for (uint32_t id = 1; id <= 6; ++id) {
    EXPECT_EQ(env_.Contents(FileOf(id)), "audio " + std::to_string(id));
  }
  std::string sd;
  ASSERT_TRUE(env_.ReadFile("E:/iPod_Control/iTunes/iTunesSD", &sd).ok());
  EXPECT_EQ(fixture::ReadITunesSdNames(sd).size(), 6u);
}

TEST_F(RemovalTest, FileDeletedByHandBeforehandStillLeavesTheDatabase) {
  env_.Erase(FileOf(2));
  RemovalReport report;
  ASSERT_TRUE(Remove({2, 3}, &report).ok());
  EXPECT_EQ(report.files_deleted, 1);
  EXPECT_EQ(report.files_missing, 1);
  EXPECT_EQ(IdsOn(env_, kRoot), (std::vector<uint32_t>{1, 4, 5, 6}));
  EXPECT_FALSE(env_.Exists(FileOf(3)));
}

TEST_F(RemovalTest, LocationsOutsideTheMusicFoldersAreNeverDeleted) {
  auto tracks = fixture::SampleTracks(5);
  tracks[0].path = u":iPod_Control:iTunes:iTunesDB";
  tracks[1].path = u":iPod_Control:Music:..:iTunes:iTunesSD";
  tracks[2].path = u":iPod_Control:Music:F00:..:..:..:precious.txt";
  tracks[3].path = u":/precious.txt";
  Make(tracks, true);
  ASSERT_TRUE(env_.AddFile("E:/precious.txt", "keep me").ok());
  const std::string db_before = *env_.Contents("E:/iPod_Control/iTunes/iTunesDB");

  RemovalReport report;
  ASSERT_TRUE(Remove({1, 2, 3, 4, 5}, &report).ok());
  EXPECT_EQ(report.files_kept.size(), 4u);
  EXPECT_EQ(report.files_deleted, 1);
  EXPECT_EQ(env_.Contents("E:/precious.txt"), "keep me");
  // Both databases are still there, rewritten without the tracks.
  EXPECT_NE(env_.Contents("E:/iPod_Control/iTunes/iTunesDB"), db_before);
  EXPECT_TRUE(env_.Exists("E:/iPod_Control/iTunes/iTunesSD"));
  EXPECT_TRUE(IdsOn(env_, kRoot).empty());
}

TEST_F(RemovalTest, FileStillNamedByAStayingTrackIsKept) {
  auto tracks = fixture::SampleTracks(3);
  tracks[2].path = u":iPod_Control:Music:F00:trk0.MP3";  // TRK0.mp3 on a FAT volume
  MemoryEnv fat(MemoryEnv::Names::kCaseInsensitive);
  ASSERT_TRUE(fixture::WriteIPodTree(fat, kRoot, TreeOf(tracks, false)).ok());
  const OwnedTracks listed = ReadTracks(fat, kRoot);
  IPodDatabase ipod(fat, kRoot);
  RemovalReport report;
  ASSERT_TRUE(RemoveTracksFromIPod(ipod, Pick(listed, {1}), &report).ok());
  EXPECT_EQ(report.files_kept.size(), 1u);
  EXPECT_TRUE(fat.Exists(PathOfLocation(kRoot, ":iPod_Control:Music:F00:TRK0.mp3")));
  EXPECT_EQ(IdsOn(fat, kRoot), (std::vector<uint32_t>{2, 3}));
}

TEST_F(RemovalTest, FailedDeletionIsReportedAndTheRestGoOn) {
  env_.FailRemove(FileOf(1));
  RemovalReport report;
  ASSERT_TRUE(Remove({1, 2}, &report).ok());
  EXPECT_EQ(report.files_deleted, 1);
  ASSERT_EQ(report.files_kept.size(), 1u);
  EXPECT_NE(report.files_kept[0].message().find("TRK0.mp3"), std::string::npos);
  EXPECT_FALSE(env_.Exists(FileOf(2)));
  EXPECT_EQ(IdsOn(env_, kRoot), (std::vector<uint32_t>{3, 4, 5, 6}));
}

TEST_F(RemovalTest, DatabaseThatCannotBeWrittenDeletesNothing) {
  const auto before = Watched();
  env_.FailRename(true);
  const Status s = Remove({1, 2});
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find("no audio file was deleted"), std::string::npos) << s.ToString();
  env_.FailRename(false);
  EXPECT_EQ(Watched(), before);
}

TEST_F(RemovalTest, UnreadableDatabasesDeleteNothing) {
  // No iTunesDB at all.
  env_.Erase("E:/iPod_Control/iTunes/iTunesDB");
  auto before = Watched();
  EXPECT_TRUE(Remove({1}).IsNotFound());
  EXPECT_EQ(Watched(), before);

  // An iTunesSD whose count does not match its size: nothing is written at all, not even
  // iTunesDB.
  SetUp();
  std::string sd = *env_.Contents("E:/iPod_Control/iTunes/iTunesSD");
  sd.resize(sd.size() - 100);
  ASSERT_TRUE(env_.AddFile("E:/iPod_Control/iTunes/iTunesSD", sd).ok());
  before = Watched();
  EXPECT_FALSE(Remove({1}).ok());
  EXPECT_EQ(Watched(), before);
}

TEST_F(RemovalTest, DatabaseOfALayoutTheWriterRefusesDeletesNothing) {
  std::string real;
  ASSERT_TRUE(
      Env::Default()
          .ReadFile(fixture::RealIpodsDir() + "/podcasts/iPod_Control/iTunes/iTunesDB", &real)
          .ok());
  ASSERT_TRUE(env_.AddFile("E:/iPod_Control/iTunes/iTunesDB", real).ok());
  tracks_ = ReadTracks(env_, kRoot);
  ASSERT_FALSE(tracks_.empty());
  const auto before = Watched();
  IPodDatabase ipod(env_, kRoot);
  const Status s = RemoveTracksFromIPod(ipod, {tracks_[0].get()});
  EXPECT_TRUE(s.IsRefused()) << s.ToString();
  EXPECT_EQ(Watched(), before);
}

TEST_F(RemovalTest, ShuffleDatabaseThatCannotBeWrittenKeepsTheFiles) {
  env_.Fail(MemoryEnv::Op::kRename, "E:/iPod_Control/iTunes/iTunesSD");
  const Status s = Remove({1, 2});
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("iTunesDB was put back"), std::string::npos) << s.ToString();
  // The two databases stay in step, and every audio file is still there.
  EXPECT_EQ(IdsOn(env_, kRoot), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
  for (uint32_t id = 1; id <= 6; ++id) EXPECT_TRUE(env_.Exists(FileOf(id))) << id;
}

}  // namespace
}  // namespace tunewell
