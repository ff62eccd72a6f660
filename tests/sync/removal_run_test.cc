// The removal run on a drive-root iPod in memory: what becomes of the audio files, and the
// databases that cannot be written.

#include "sync/removal_run.h"

#include <algorithm>

#include "tests/sync/sync_fixture.h"

namespace tunewell {
namespace {

using namespace fixture;  // NOLINT: the tests' own helpers

constexpr char kDriveRoot[] = "E:/";

std::string FileOf(const FixtureTrack& track) {
  return PathOfLocation(kDriveRoot, Utf16ToUtf8(track.path));
}

// An iPod whose iTunesDB and iTunesSD list `tracks`, with an audio file for each track in a
// music folder ("audio <id>") and a file outside it that no removal may touch.
void MakeDriveIPod(MemoryEnv& env, const std::vector<FixtureTrack>& tracks) {
  IPodTree tree{3, BuildITunesDb(tracks)};
  std::vector<std::u16string> locations;
  for (const FixtureTrack& t : tracks) {
    locations.push_back(t.path);
    if (t.path.starts_with(u":iPod_Control:Music:F0")) {
      tree.files[Utf16ToUtf8(t.path)] = "audio " + std::to_string(t.id);
    }
  }
  tree.itunes_sd = BuildITunesSd(locations);
  ASSERT_TRUE(WriteIPodTree(env, kDriveRoot, tree).ok());
  ASSERT_TRUE(env.AddFile("E:/precious.txt", "keep me").ok());
}

// Removes the tracks with the given ids, read back from the iPod as a removal receives them.
Status Remove(MemoryEnv& env, std::vector<uint32_t> ids, RemovalReport* report = nullptr) {
  IPodDatabase ipod(env, kDriveRoot);
  OwnedTracks listed;
  RETURN_IF_ERROR(ipod.ReadTrackList(&listed));
  TrackArray picked;
  for (const auto& t : listed) {
    if (std::find(ids.begin(), ids.end(), t->trackId) != ids.end()) picked.push_back(t.get());
  }
  return RemoveTracksFromIPod(ipod, picked, report);
}

void DeletedByHand(MemoryEnv& e, const std::vector<FixtureTrack>& t) { e.Erase(FileOf(t[1])); }
void RemoveFails(MemoryEnv& e, const std::vector<FixtureTrack>& t) { e.FailRemove(FileOf(t[0])); }
void CannotLook(MemoryEnv& e, const std::vector<FixtureTrack>&) {
  e.Fail(MemoryEnv::Op::kKindOf, "E:/iPod_Control/Music/F00");
}

// What becomes of the audio files once both databases are written.
TEST(RemovalTest, FilesThatAreGoneStillNamedEscapingOrStuck) {
  const std::vector<std::u16string> escaping = {
      u":iPod_Control:iTunes:iTunesDB", u":iPod_Control:Music:..:iTunes:iTunesSD",
      u":iPod_Control:Music:F00:..:..:..:precious.txt", u":/precious.txt"};
  const struct {
    const char* name;
    bool fat;
    void (*fault)(MemoryEnv&, const std::vector<FixtureTrack>&);
    int deleted, missing, kept;
    std::vector<std::u16string> paths = {};  // replacing the sample's first ones
    int stuck = 0;                           // audio files that stay although they should go
  } cases[] = {
      {"deleted by hand beforehand", false, DeletedByHand, 3, 1, 0},
      {"outside the music folders", false, nullptr, 0, 0, 4, escaping},
      // On a FAT volume, the file of track 5, which stays.
      {"named by a staying track", true, nullptr, 3, 0, 1, {u":iPod_Control:Music:F01:trk4.MP3"}},
      {"a deletion that fails", false, RemoveFails, 3, 0, 0, {}, 1},
      // Only "not found" means gone: a folder on the way that cannot be looked at is not.
      {"a folder that cannot be looked at", false, CannotLook, 2, 0, 0, {}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryEnv env(c.fat ? MemoryEnv::Names::kCaseInsensitive : MemoryEnv::Names::kCaseSensitive);
    auto tracks = SampleTracks(6);
    for (size_t i = 0; i < c.paths.size(); ++i) tracks[i].path = c.paths[i];
    MakeDriveIPod(env, tracks);
    if (c.fault) c.fault(env, tracks);
    RemovalReport report;
    ASSERT_TRUE(Remove(env, {1, 2, 3, 4}, &report).ok());
    EXPECT_EQ(report.files_deleted, c.deleted);
    EXPECT_EQ(report.files_missing, c.missing);
    EXPECT_EQ(report.files_kept.size(), static_cast<size_t>(c.kept));
    EXPECT_EQ(report.files_stuck.size(), static_cast<size_t>(c.stuck));
    EXPECT_EQ(TitlesOnIPod(env, kDriveRoot), (Titles{u"Title 5", u"Title 4"}));
    EXPECT_EQ(env.Contents("E:/precious.txt"), "keep me");
    EXPECT_TRUE(env.Exists("E:/iPod_Control/iTunes/iTunesSD"));
    // What stays is named again by each later run, which still does its own work.
    auto song = AddSource(env, "new", u"A", u"New");
    TrackArray list = {song.get()};
    RecordingProgress progress;
    RecordingNotice notice;
    const SyncReport synced = RunSync({env, progress, notice}, kDriveRoot, list, 0);
    EXPECT_EQ(synced.leftovers.size(), static_cast<size_t>(c.stuck));
    EXPECT_EQ(TitlesOnIPod(env, kDriveRoot), (Titles{u"New", u"Title 5", u"Title 4"}));
  }
}

// On any database failure no file is touched, and the two databases stay in step.
TEST(RemovalTest, DatabasesThatCannotBeWrittenDeleteNothing) {
  for (const char* target :
       {"E:/iPod_Control/iTunes/iTunesDB", "E:/iPod_Control/iTunes/iTunesSD"}) {
    SCOPED_TRACE(target);
    MemoryEnv env;
    MakeDriveIPod(env, SampleTracks(6));
    const auto before = env.TakeSnapshot();
    env.Fail(MemoryEnv::Op::kRename, target);
    EXPECT_THAT(Remove(env, {1, 2}).message(), ::testing::HasSubstr("no audio file was deleted"));
    // Added besides: the lock file and the backup of an iTunesDB that was put back.
    for (const auto& [path, bytes] : before.files) EXPECT_EQ(env.Contents(path), bytes) << path;
  }
}

// On a full iPod a removal gives up the backup when that makes room, and only then; the next
// save with room keeps one again.
TEST(RemovalTest, AFullIPodGivesUpTheBackupOnlyWhenThatMakesRoom) {
  for (const bool enough : {true, false}) {
    SCOPED_TRACE(enough ? "a backup larger than the database" : "a small backup");
    MemoryEnv env;
    MakeDriveIPod(env, SampleTracks(6));
    const std::string db = "E:/iPod_Control/iTunes/iTunesDB";
    ASSERT_TRUE(env.AddFile(db + ".bak", std::string(enough ? 2 * env.UsedBytes() : 9, 'b')).ok());
    env.SetCapacity(env.UsedBytes());
    RemovalReport report;
    EXPECT_EQ(Remove(env, {1, 2}, &report).ok(), enough);
    EXPECT_EQ(report.backup_given_up, enough);
    EXPECT_EQ(env.Exists(db + ".bak"), !enough);
    if (!enough) continue;
    EXPECT_EQ(TitlesOnIPod(env, kDriveRoot),
              (Titles{u"Title 5", u"Title 2", u"Title 3", u"Title 4"}));
    env.SetCapacity(std::nullopt);
    const std::string before = *env.Contents(db);
    ASSERT_TRUE(Remove(env, {3}, &report).ok());
    EXPECT_FALSE(report.backup_given_up);
    EXPECT_EQ(env.Contents(db + ".bak"), before);
  }
}

// What a removal picks again once it holds the iPod: the records that are still the tracks
// chosen, by id, location, title, artist and album.
TEST(MatchTracksTest, KeepsOnlyRecordsThatAreStillTheChosenTracks) {
  std::vector<TrackInfo> now = {MakeTrack(u"a", u"A", u"X"), MakeTrack(u"b", u"A", u"X"),
                                MakeTrack(u"c", u"A", u"X")};
  for (size_t i = 0; i < now.size(); ++i) now[i].trackId = static_cast<uint32_t>(i + 1);
  std::vector<TrackInfo> chosen = now;
  chosen[1].title = u"other";  // id 2 now names another track
  chosen[2].trackId = 9;
  EXPECT_EQ(MatchTracks(ArrayOf(now), chosen), TrackArray{&now[0]});
}

}  // namespace
}  // namespace tunewell
