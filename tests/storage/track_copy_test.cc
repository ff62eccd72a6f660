#include "storage/track_copy.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "storage_test_util.h"

namespace tunewell {
namespace {

using testing::DrawsFor;
using testing::MakeMusicFolders;
using testing::ReadBytes;
using testing::RecordingNotice;
using testing::ScriptedRandom;
using testing::TempFolder;
using testing::TreeOf;
using testing::WriteBytes;

TrackInfo TrackFor(const std::string& source, int32_t size) {
  TrackInfo track;
  track.path = NarrowToWide(source);
  track.title = u"Song";
  track.fileSize = size;
  return track;
}

// ---- On a real folder ----

class CopyOnDiskTest : public ::testing::Test {
 protected:
  CopyOnDiskTest() {
    source_ = (library_.path() / "My Song (live).MP3").string();
    bytes_.resize(300'000);
    for (size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = static_cast<char>(i * 7 + i / 1000);
    WriteBytes(source_, bytes_);
  }
  TempFolder ipod_;
  TempFolder library_;
  std::string source_;
  std::string bytes_;
  RecordingNotice notice_;
};

TEST_F(CopyOnDiskTest, CopiesUnderTheDrawnFolderAndNameAndRecordsTheLocation) {
  MakeMusicFolders(ipod_.path(), 20);
  const CopyTarget ipod =
      CopyTarget::For(Env::Default(), ipod_.root().substr(0, ipod_.root().size() - 1));
  TrackInfo track = TrackFor(source_, static_cast<int32_t>(bytes_.size()));
  ScriptedRandom random(DrawsFor(7, "QKZA"));
  Status why;
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 10, random, notice_, &why), CopyResult::Copied);
  EXPECT_TRUE(why.ok()) << why.ToString();
  EXPECT_EQ(track.path, u":iPod_Control:Music:F07:QKZA.mp3");
  EXPECT_EQ(ReadBytes(ipod_.path() / "iPod_Control" / "Music" / "F07" / "QKZA.mp3"), bytes_);
  EXPECT_EQ(ReadBytes(source_), bytes_);
  EXPECT_EQ(random.draws(), 5);
  EXPECT_TRUE(notice_.shown.empty());
}

TEST_F(CopyOnDiskTest, MissingSourceIsToldAndLeavesTrackAndIPodAlone) {
  MakeMusicFolders(ipod_.path(), 20);
  const auto before = TreeOf(ipod_.path());
  const CopyTarget ipod = CopyTarget::For(Env::Default(), ipod_.root());
  const std::string gone = (library_.path() / "deleted after listing.mp3").string();
  TrackInfo track = TrackFor(gone, 1000);
  ScriptedRandom random(DrawsFor(3, "ABCD"));
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 1, random, notice_), CopyResult::SourceMissing);
  ASSERT_EQ(notice_.shown.size(), 1u);
  EXPECT_EQ(notice_.shown[0].first, "Unable to locate file : " + gone);
  EXPECT_EQ(notice_.shown[0].second, "Problem locating track.");
  EXPECT_EQ(track.path, NarrowToWide(gone));
  EXPECT_EQ(random.draws(), 5) << "folder and name are drawn before the source is tested";
  EXPECT_EQ(TreeOf(ipod_.path()), before);
}

TEST_F(CopyOnDiskTest, NoMusicFoldersDrawsNothingAndWritesNothing) {
  std::filesystem::create_directories(ipod_.path() / "iPod_Control" / "iTunes");
  const auto before = TreeOf(ipod_.path());
  const CopyTarget ipod = CopyTarget::For(Env::Default(), ipod_.root());
  TrackInfo track = TrackFor(source_, 1000);
  ScriptedRandom random;
  Status why;
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 1, random, notice_, &why), CopyResult::NoMusicFolders);
  EXPECT_FALSE(why.ok());
  EXPECT_EQ(random.draws(), 0);
  EXPECT_EQ(track.path, NarrowToWide(source_));
  EXPECT_EQ(TreeOf(ipod_.path()), before);
}

TEST_F(CopyOnDiskTest, CountedFolderThatIsNotThereFailsTheCopy) {
  // F00 and F02 make a count of 2, so F01 can be drawn.
  MakeMusicFolders(ipod_.path(), 3);
  std::filesystem::remove(ipod_.path() / "iPod_Control" / "Music" / "F01");
  const auto before = TreeOf(ipod_.path());
  const CopyTarget ipod = CopyTarget::For(Env::Default(), ipod_.root());
  ASSERT_EQ(ipod.music_folder_count, 2);
  TrackInfo track = TrackFor(source_, 1000);
  ScriptedRandom random(DrawsFor(1, "ABCD"));
  Status why;
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 1, random, notice_, &why), CopyResult::CopyFailed);
  EXPECT_FALSE(why.ok());
  EXPECT_EQ(track.path, NarrowToWide(source_));
  EXPECT_EQ(TreeOf(ipod_.path()), before);
  EXPECT_TRUE(notice_.shown.empty());
}

// ---- Faults, in memory; for a drive root and a mount folder alike ----

class CopyFaultTest : public ::testing::TestWithParam<std::string> {
 protected:
  CopyFaultTest() {
    for (int i = 0; i < 20; ++i) {
      char name[8];
      std::snprintf(name, sizeof(name), "F%02d", i);
      EXPECT_TRUE(env_.AddFolder(root() + "iPod_Control/Music/" + name).ok());
    }
    EXPECT_TRUE(env_.AddFile(kSource, std::string(4000, 's')).ok());
  }
  std::string root() const { return GetParam(); }
  std::string Destination(const char* folder, const char* name) const {
    return JoinPath(root(), {"iPod_Control", "Music", folder, name});
  }

  static constexpr const char* kSource = "/library/song.mp3";
  MemoryEnv env_;
  RecordingNotice notice_;
};

INSTANTIATE_TEST_SUITE_P(Roots, CopyFaultTest, ::testing::Values("E:/", "/media/me/IPOD/"));

TEST_P(CopyFaultTest, RoomMustExceedSizePlusMarginForEveryListedTrack) {
  const CopyTarget ipod = CopyTarget::For(env_, root());
  TrackInfo track = TrackFor(kSource, 4'000'000);
  // The tenth track of a list of ten still keeps the margin for all ten.
  env_.SetFreeBytes(4'020'000);
  ScriptedRandom random(DrawsFor(7, "QKZA"));
  EXPECT_FALSE(HasRoomForTrack(ipod, track, 10));
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 10, random, notice_), CopyResult::NoRoom);
  EXPECT_EQ(random.draws(), 0);
  EXPECT_EQ(track.path, NarrowToWide(kSource));

  env_.SetFreeBytes(4'020'001);
  EXPECT_TRUE(HasRoomForTrack(ipod, track, 10));
  EXPECT_FALSE(HasRoomForTrack(ipod, track, 11));
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 10, random, notice_), CopyResult::Copied);
  EXPECT_EQ(track.path, u":iPod_Control:Music:F07:QKZA.mp3");
  EXPECT_EQ(env_.Contents(Destination("F07", "QKZA.mp3")), std::string(4000, 's'));
}

TEST_P(CopyFaultTest, NeedIsWorkedOutWithoutOverflow) {
  const CopyTarget ipod = CopyTarget::For(env_, root());
  // 2,000,000,000 + 2000 x 100,000 passes 2^31; wrapped, it would look like no need at all.
  TrackInfo big = TrackFor(kSource, 2'000'000'000);
  env_.SetFreeBytes(2'150'000'000);
  EXPECT_FALSE(HasRoomForTrack(ipod, big, 100'000));
  EXPECT_TRUE(HasRoomForTrack(ipod, big, 70'000));
  big.fileSize = INT32_MAX;
  EXPECT_FALSE(HasRoomForTrack(ipod, big, INT32_MAX));
  // A negative size is nonsense and lowers nothing.
  TrackInfo odd = TrackFor(kSource, -2'000'000'000);
  env_.SetFreeBytes(2000);
  EXPECT_FALSE(HasRoomForTrack(ipod, odd, 1));
}

TEST_P(CopyFaultTest, UnreadableFreeSpaceIsNoRoom) {
  const CopyTarget ipod = CopyTarget::For(env_, root());
  env_.FailFreeBytes(true);
  TrackInfo track = TrackFor(kSource, 10);
  ScriptedRandom random;
  const auto before = env_.TakeSnapshot();
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 1, random, notice_), CopyResult::NoRoom);
  EXPECT_EQ(random.draws(), 0);
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

TEST_P(CopyFaultTest, CopyThatFailsPartWayLeavesNothingBehind) {
  const CopyTarget ipod = CopyTarget::For(env_, root());
  const auto before = env_.TakeSnapshot();
  TrackInfo track = TrackFor(kSource, 4000);
  ScriptedRandom random(DrawsFor(2, "WXYZ"));
  env_.FailCopyAfter(1500);
  Status why;
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 1, random, notice_, &why), CopyResult::CopyFailed);
  EXPECT_NE(why.message().find("song.mp3"), std::string::npos) << why.ToString();
  EXPECT_EQ(track.path, NarrowToWide(kSource));
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

TEST_P(CopyFaultTest, DeviceThatFillsUpDespiteTheReadingFailsTheCopy) {
  const CopyTarget ipod = CopyTarget::For(env_, root());
  const auto before = env_.TakeSnapshot();
  env_.SetCapacity(env_.UsedBytes() + 1000);
  env_.SetFreeBytes(1'000'000);  // the reading is stale
  TrackInfo track = TrackFor(kSource, 4000);
  ScriptedRandom random(DrawsFor(2, "WXYZ"));
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 1, random, notice_), CopyResult::CopyFailed);
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

TEST_P(CopyFaultTest, SourceThePlayerHoldsOpenIsStillFound) {
  const CopyTarget ipod = CopyTarget::For(env_, root());
  TrackInfo track = TrackFor(kSource, 4000);
  ScriptedRandom random(DrawsFor(0, "PLAY"));
  env_.HoldSharedRead(kSource);
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 1, random, notice_), CopyResult::Copied);
  EXPECT_TRUE(notice_.shown.empty());
  EXPECT_EQ(track.path, u":iPod_Control:Music:F00:PLAY.mp3");
}

TEST_P(CopyFaultTest, NameHeldOpenByAnotherProgramIsNotFree) {
  // Held without sharing, the file cannot even be opened to see it is there; it still is.
  ASSERT_TRUE(env_.AddFile(Destination("F04", "HELD.mp3"), "theirs").ok());
  env_.HoldExclusive(Destination("F04", "HELD.mp3"));
  const CopyTarget ipod = CopyTarget::For(env_, root());
  TrackInfo track = TrackFor(kSource, 4000);
  std::vector<int> draws = DrawsFor(4, "HELD");
  const auto more = DrawsFor(0, "FREE");
  draws.insert(draws.end(), more.begin() + 1, more.end());
  ScriptedRandom random(draws);
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 1, random, notice_), CopyResult::Copied);
  EXPECT_EQ(track.path, u":iPod_Control:Music:F04:FREE.mp3");
  env_.Release(Destination("F04", "HELD.mp3"));
  EXPECT_EQ(env_.Contents(Destination("F04", "HELD.mp3")), "theirs");
}

TEST_P(CopyFaultTest, FullFolderGivesNoFreeName) {
  ASSERT_TRUE(env_.AddFile(Destination("F00", "AAAA.mp3"), "").ok());
  const CopyTarget ipod = CopyTarget::For(env_, root());
  TrackInfo track = TrackFor(kSource, 4000);
  ScriptedRandom random;  // zeros: F00, AAAA, forever
  EXPECT_EQ(CopyTrackToIPod(ipod, track, 1, random, notice_), CopyResult::NoFreeName);
  EXPECT_EQ(track.path, NarrowToWide(kSource));
}

}  // namespace
}  // namespace tunewell
