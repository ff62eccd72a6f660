#include <gtest/gtest.h>

#include <cstdio>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "database/ipod_database.h"
#include "platform/memory/memory_env.h"
#include "platform/path.h"
#include "platform/text.h"
#include "player/contents_rows.h"
#include "storage/ipod_lock.h"
#include "storage/music_folders.h"
#include "tests/support/gpod_client.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"
#include "tests/support/test_paths.h"

namespace tunewell {
namespace {

struct Outcome {
  int code = -1;
  std::string out, err;
};

Outcome RunCommand(int (*command)(Env&, const std::vector<std::string>&), Env& env,
                   const std::vector<std::string>& args) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  Outcome o;
  o.code = command(env, args);
  o.out = ::testing::internal::GetCapturedStdout();
  o.err = ::testing::internal::GetCapturedStderr();
  return o;
}

void ExpectGpodReads(const std::string& root, size_t tracks) {
  if (fixture::GpodToolPath().empty()) return;
  fixture::GpodDump dump;
  std::string error;
  ASSERT_TRUE(fixture::GpodDumpOf(root, &dump, &error)) << error;
  EXPECT_EQ(dump.tracks.size(), tracks);
  EXPECT_EQ(dump.master_count, static_cast<int>(tracks));
}

// ---- init ----

TEST(InitCommandTest, MakesAnIPodThatListsAsEmptyAndTakesTracks) {
  fixture::TempFolder folder;
  const std::string root = JoinPath(folder.path(), {"not", "yet", "IPOD"});
  Env& env = Env::Default();
  const Outcome init = RunCommand(cli::RunInit, env, {"--ipod", root, "--shuffle"});
  ASSERT_EQ(init.code, cli::kExitDone) << init.err;
  EXPECT_NE(init.out.find("F19 (20 music folders)"), std::string::npos) << init.out;
  EXPECT_NE(init.out.find("iTunesSD"), std::string::npos) << init.out;
  EXPECT_EQ(env.KindOf(JoinPath(root, {"iPod_Control", "Music", "F19"})), PathKind::kFolder);
  EXPECT_EQ(env.KindOf(JoinPath(root, {"iPod_Control", "Music", "F20"})), PathKind::kNone);

  const Outcome list = RunCommand(cli::RunList, env, {"--ipod", root});
  EXPECT_EQ(list.code, cli::kExitDone) << list.err;
  EXPECT_EQ(list.out, Utf16ToUtf8(kNoMusicNotice) + "\n");
  ExpectGpodReads(WithTrailingSeparator(root), 0);

  // The writer takes the new databases.
  {
    IPodDatabase ipod(env, root);
    EXPECT_EQ(CountMusicFolders(env, ipod.root()), 20);
    TrackInfo track;
    track.title = u"First";
    track.artist = u"Someone";
    track.path = u":iPod_Control:Music:F03:ABCD.mp3";
    TrackArray added = {&track};
    ASSERT_TRUE(ipod.LoadForSync(&added).ok());
    ASSERT_TRUE(ipod.shuffleDb().loaded());
    ASSERT_TRUE(ipod.SaveAfterSync(added).ok());
  }
  OwnedTracks tracks;
  IPodDatabase reread(env, root);
  ASSERT_TRUE(reread.ReadTrackList(&tracks).ok());
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(tracks[0]->title, u"First");
  std::string sd;
  ASSERT_TRUE(env.ReadFile(reread.sdPath(), &sd).ok());
  EXPECT_EQ(fixture::ReadITunesSdNames(sd),
            std::vector<std::u16string>{u":iPod_Control:Music:F03:ABCD.mp3"});
  ExpectGpodReads(WithTrailingSeparator(root), 1);
}

TEST(InitCommandTest, FolderCountWithinBoundsAndWithoutShuffleDatabase) {
  MemoryEnv env;
  Outcome o = RunCommand(cli::RunInit, env, {"--ipod", "E:/", "--folders", "5"});
  ASSERT_EQ(o.code, cli::kExitDone) << o.err;
  EXPECT_EQ(CountMusicFolders(env, "E:/"), 5);
  EXPECT_TRUE(env.Exists("E:/iPod_Control/Music/F04"));
  EXPECT_FALSE(env.Exists("E:/iPod_Control/iTunes/iTunesSD"));

  o = RunCommand(cli::RunInit, env, {"--ipod", "F:/", "--folders=100"});
  ASSERT_EQ(o.code, cli::kExitDone) << o.err;
  EXPECT_TRUE(env.Exists("F:/iPod_Control/Music/F99"));

  for (const char* bad : {"0", "101", "120", "-3", "x", "", "5x", "0005"}) {
    MemoryEnv untouched;
    o = RunCommand(cli::RunInit, untouched, {"--ipod", "G:/", "--folders", bad});
    EXPECT_EQ(o.code, cli::kExitUsage) << bad;
    EXPECT_TRUE(untouched.Paths().empty()) << bad;
  }
  MemoryEnv untouched;
  EXPECT_EQ(RunCommand(cli::RunInit, untouched, {}).code, cli::kExitUsage);
  EXPECT_EQ(RunCommand(cli::RunInit, untouched, {"--ipod", "G:/", "extra"}).code, cli::kExitUsage);
  EXPECT_TRUE(untouched.Paths().empty());
}

TEST(InitCommandTest, RefusesAnIPodThatHasADatabaseAndTouchesNothing) {
  MemoryEnv env;
  ASSERT_TRUE(env.AddFile("E:/iPod_Control/iTunes/iTunesDB", "theirs").ok());
  auto before = env.TakeSnapshot();
  Outcome o = RunCommand(cli::RunInit, env, {"--ipod", "E:/", "--shuffle"});
  EXPECT_EQ(o.code, cli::kExitUnusable);
  EXPECT_NE(o.err.find("nothing was changed"), std::string::npos) << o.err;
  EXPECT_EQ(env.TakeSnapshot(), before);

  // A shuffle database alone counts too; so does a file where the folder should be.
  env.Erase("E:/iPod_Control/iTunes/iTunesDB");
  ASSERT_TRUE(env.AddFile("E:/iPod_Control/iTunes/iTunesSD", "theirs").ok());
  ASSERT_TRUE(env.AddFile("E:/plain.txt", "a file").ok());
  before = env.TakeSnapshot();
  EXPECT_EQ(RunCommand(cli::RunInit, env, {"--ipod", "E:/"}).code, cli::kExitUnusable);
  EXPECT_EQ(RunCommand(cli::RunInit, env, {"--ipod", "E:/plain.txt"}).code, cli::kExitUnusable);
  EXPECT_EQ(env.TakeSnapshot(), before);
}

TEST(InitCommandTest, FailedWriteLeavesNoDatabaseBehind) {
  MemoryEnv env;
  env.FailRename(true);
  const Outcome o = RunCommand(cli::RunInit, env, {"--ipod", "E:/"});
  EXPECT_EQ(o.code, cli::kExitUnusable);
  for (const std::string& path : env.Paths()) {
    EXPECT_EQ(path.find("iTunesDB"), std::string::npos) << path;
  }
}

TEST(InitCommandTest, TheProgramRunsInitListAndRemove) {
  fixture::TempFolder folder;
  const std::string ipod = fixture::ShellQuote(folder.path() + "IPOD");
  const std::string program = fixture::ShellQuote(TUNEWELL_BINARY);
  std::string out;
  if (fixture::RunCommand(program + " init --ipod " + ipod + " --folders 3", &out) == -1) {
    GTEST_SKIP() << "no shell here";
  }
  EXPECT_NE(out.find("F02 (3 music folders)"), std::string::npos) << out;
  EXPECT_EQ(fixture::RunCommand(program + " list --ipod " + ipod, &out), cli::kExitDone);
  EXPECT_EQ(out, Utf16ToUtf8(kNoMusicNotice) + "\n");
  EXPECT_EQ(fixture::RunCommand(program + " remove --ipod " + ipod + " --id 1 2>/dev/null", &out),
            cli::kExitUsage);
  EXPECT_EQ(fixture::RunCommand(program + " init --ipod " + ipod + " 2>/dev/null", &out),
            cli::kExitUnusable);
}

// ---- remove ----

class RemoveCommandTest : public ::testing::Test {
 protected:
  static constexpr const char* kRoot = "E:/";

  void SetUp() override {
    sample_ = fixture::SampleTracks(10);
    fixture::IPodTree tree;
    tree.music_folders = 3;
    tree.itunes_db = fixture::BuildITunesDb(sample_);
    std::vector<std::u16string> locations;
    for (const auto& t : sample_) {
      locations.push_back(t.path);
      tree.files[Utf16ToUtf8(t.path)] = "audio";
    }
    tree.itunes_sd = fixture::BuildITunesSd(locations);
    ASSERT_TRUE(fixture::WriteIPodTree(env_, kRoot, tree).ok());
  }
  Outcome Remove(std::vector<std::string> args) {
    args.insert(args.begin(), {"--ipod", kRoot});
    return RunCommand(cli::RunRemove, env_, args);
  }
  std::vector<uint32_t> Ids() {
    OwnedTracks tracks;
    EXPECT_TRUE(IPodDatabase(env_, kRoot).ReadTrackList(&tracks).ok());
    std::vector<uint32_t> ids;
    for (const auto& t : tracks) ids.push_back(t->trackId);
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  bool FileThere(uint32_t id) {
    return env_.Exists(fixture::PathOfLocation(kRoot, Utf16ToUtf8(sample_[id - 1].path)));
  }

  MemoryEnv env_;
  std::vector<fixture::FixtureTrack> sample_;
};

TEST_F(RemoveCommandTest, ById) {
  const Outcome o = Remove({"--id", "4", "--id", "1", "--id=4"});
  ASSERT_EQ(o.code, cli::kExitDone) << o.err;
  EXPECT_EQ(o.out, "Artist 0 - Title 0\nArtist 3 - Title 3\n");
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{2, 3, 5, 6, 7, 8, 9, 10}));
  EXPECT_FALSE(FileThere(1));
  EXPECT_FALSE(FileThere(4));
  EXPECT_TRUE(FileThere(2));
}

TEST_F(RemoveCommandTest, ByArtistAndAlbum) {
  // Artist 1 is tracks 2 (Album 1) and 7 (Album 0).
  Outcome o = Remove({"--artist", "Artist 1", "--album", "Album 0"});
  ASSERT_EQ(o.code, cli::kExitDone) << o.err;
  EXPECT_EQ(o.out, "Artist 1 - Title 6\n");
  EXPECT_FALSE(FileThere(7));
  o = Remove({"--artist", "Artist 1"});
  ASSERT_EQ(o.code, cli::kExitDone) << o.err;
  EXPECT_EQ(o.out, "Artist 1 - Title 1\n");
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{1, 3, 4, 5, 6, 8, 9, 10}));
}

TEST_F(RemoveCommandTest, MistakesChangeNothing) {
  const auto before = env_.TakeSnapshot();
  const std::vector<std::vector<std::string>> usage = {
      {},
      {"--id", "1", "--artist", "Artist 1"},
      {"--album", "Album 0"},
      {"--id", "x"},
      {"--id", "-1"},
      {"--id", "99999999999"},
      {"--id", "1", "--id", "77"},  // 77 is not there
      {"--artist", "artist 1"},     // exact match only
      {"--artist", "Artist 1", "--album", "Album 9"},
      {"--id", "1", "stray"},
  };
  for (const auto& args : usage) {
    const Outcome o = Remove(args);
    EXPECT_EQ(o.code, cli::kExitUsage) << ::testing::PrintToString(args);
    EXPECT_TRUE(o.out.empty());
    EXPECT_FALSE(o.err.empty());
  }
  EXPECT_EQ(RunCommand(cli::RunRemove, env_, {"--id", "1"}).code, cli::kExitUsage);
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

TEST_F(RemoveCommandTest, UnusableDatabaseChangesNothing) {
  // A database the writer does not rewrite: read, refused, nothing removed.
  std::string real;
  ASSERT_TRUE(
      Env::Default()
          .ReadFile(fixture::RealIpodsDir() + "/podcasts/iPod_Control/iTunes/iTunesDB", &real)
          .ok());
  ASSERT_TRUE(env_.AddFile("E:/iPod_Control/iTunes/iTunesDB", real).ok());
  OwnedTracks tracks;
  ASSERT_TRUE(IPodDatabase(env_, kRoot).ReadTrackList(&tracks).ok());
  // The lock file a removal takes is left behind for the next one; it is no change.
  ASSERT_TRUE(env_.AddFile(IPodLockPath(kRoot), "").ok());
  auto before = env_.TakeSnapshot();
  Outcome o = Remove({"--id", std::to_string(tracks[0]->trackId)});
  EXPECT_EQ(o.code, cli::kExitUnusable);
  EXPECT_NE(o.err.find("nothing was removed"), std::string::npos) << o.err;
  EXPECT_EQ(env_.TakeSnapshot(), before);

  env_.Erase("E:/iPod_Control/iTunes/iTunesDB");
  before = env_.TakeSnapshot();
  EXPECT_EQ(Remove({"--id", "1"}).code, cli::kExitUnusable);
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

}  // namespace
}  // namespace tunewell
