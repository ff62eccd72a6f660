// The init and remove commands on the in-memory file system: what they accept, and that what
// they refuse changes nothing. The program's own runs are the command line's end-to-end tests.

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "database/ipod_database.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "storage/music_folders.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

using CommandFn = int (*)(Env&, const std::vector<std::string>&);

struct Outcome {
  int code = -1;
  std::string out, err;
};

Outcome Command(CommandFn command, Env& env, const std::vector<std::string>& args) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  Outcome o;
  o.code = command(env, args);
  o.out = ::testing::internal::GetCapturedStdout();
  o.err = ::testing::internal::GetCapturedStderr();
  return o;
}

TEST(InitCommandTest, FolderCountsAndShuffleDatabase) {
  const struct {
    std::vector<std::string> args;
    int folders;  // 0: refused as a usage mistake, touching nothing
    bool shuffle = false;
  } cases[] = {{{"--ipod", "E:/"}, 20},
               {{"--ipod", "E:/", "--folders", "5", "--shuffle"}, 5, true},
               {{"--ipod", "E:/", "--folders=100"}, 100},
               {{"--ipod", "E:/", "extra"}, 0},
               {{}, 0}};
  for (const auto& c : cases) {
    MemoryEnv env;
    const Outcome o = Command(cli::RunInit, env, c.args);
    EXPECT_EQ(o.code, c.folders > 0 ? cli::kExitDone : cli::kExitUsage) << o.err;
    EXPECT_EQ(CountMusicFolders(env, "E:/"), c.folders);
    EXPECT_EQ(env.Exists("E:/iPod_Control/iTunes/iTunesSD"), c.shuffle);
    if (c.folders == 0) {
      EXPECT_TRUE(env.Paths().empty());
    }
  }
  for (const char* bad : {"0", "101", "-3", "x", "", "5x", "0005"}) {
    MemoryEnv env;
    EXPECT_EQ(Command(cli::RunInit, env, {"--ipod", "G:/", "--folders", bad}).code,
              cli::kExitUsage);
    EXPECT_TRUE(env.Paths().empty()) << bad;
  }
}

TEST(InitCommandTest, NeverReplacesADatabaseAndLeavesNoHalfWrittenOne) {
  for (const char* existing : {"iTunesDB", "iTunesSD"}) {
    MemoryEnv env;
    ASSERT_TRUE(env.AddFile(std::string("E:/iPod_Control/iTunes/") + existing, "theirs").ok());
    ASSERT_TRUE(env.AddFile("E:/plain.txt", "a file").ok());
    const auto before = env.TakeSnapshot();
    const Outcome o = Command(cli::RunInit, env, {"--ipod", "E:/", "--shuffle"});
    EXPECT_EQ(o.code, cli::kExitUnusable);
    EXPECT_NE(o.err.find("nothing was changed"), std::string::npos) << o.err;
    EXPECT_EQ(Command(cli::RunInit, env, {"--ipod", "E:/plain.txt"}).code, cli::kExitUnusable);
    EXPECT_EQ(env.TakeSnapshot(), before);
  }

  MemoryEnv failing;
  failing.FailRename(true);
  EXPECT_EQ(Command(cli::RunInit, failing, {"--ipod", "E:/"}).code, cli::kExitUnusable);
  for (const std::string& path : failing.Paths()) {
    EXPECT_EQ(path.find("iTunesDB"), std::string::npos) << path;
  }
}

// Artist k%5, album k%3 for track id k+1: Artist 1 is tracks 2 (Album 1) and 7 (Album 0).
TEST(RemoveCommandTest, SelectsExactlyAndMistakesChangeNothing) {
  const struct {
    std::vector<std::string> args;
    std::string out;  // "": a usage mistake
  } cases[] = {
      {{"--id", "4", "--id", "1", "--id=4"}, "Artist 0 - Title 0\nArtist 3 - Title 3\n"},
      {{"--artist", "Artist 1", "--album", "Album 0"}, "Artist 1 - Title 6\n"},
      {{"--artist", "Artist 1"}, "Artist 1 - Title 6\nArtist 1 - Title 1\n"},
      {{}, ""},
      {{"--id", "1", "--artist", "Artist 1"}, ""},
      {{"--album", "Album 0"}, ""},
      {{"--id", "x"}, ""},
      {{"--id", "-1"}, ""},
      {{"--id", "99999999999"}, ""},
      {{"--id", "1", "--id", "77"}, ""},  // 77 is not there
      {{"--artist", "artist 1"}, ""},     // exact match only
      {{"--artist", "Artist 1", "--album", "Album 9"}, ""},
      {{"--id", "1", "stray"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    MemoryEnv env;
    const auto sample = fixture::SampleTracks(10);
    fixture::IPodTree tree{3, fixture::BuildITunesDb(sample)};
    std::vector<std::u16string> locations;
    for (const auto& t : sample) {
      locations.push_back(t.path);
      tree.files[Utf16ToUtf8(t.path)] = "audio";
    }
    tree.itunes_sd = fixture::BuildITunesSd(locations);
    ASSERT_TRUE(fixture::WriteIPodTree(env, "E:/", tree).ok());
    const auto before = env.TakeSnapshot();
    std::vector<std::string> args = {"--ipod", "E:/"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome o = Command(cli::RunRemove, env, args);
    EXPECT_EQ(o.code, c.out.empty() ? cli::kExitUsage : cli::kExitDone) << o.err;
    EXPECT_EQ(o.out, c.out);
    if (c.out.empty()) {
      EXPECT_FALSE(o.err.empty());
      EXPECT_EQ(env.TakeSnapshot(), before);
      continue;
    }
    OwnedTracks left;
    ASSERT_TRUE(IPodDatabase(env, "E:/").ReadTrackList(&left).ok());
    std::string sd;
    ASSERT_TRUE(env.ReadFile("E:/iPod_Control/iTunes/iTunesSD", &sd).ok());
    EXPECT_EQ(fixture::ReadITunesSdNames(sd).size(), left.size());
    size_t files = 0;
    for (const auto& t : sample)
      files += env.Exists(fixture::PathOfLocation("E:/", Utf16ToUtf8(t.path)));
    EXPECT_EQ(files, left.size());
  }
}

}  // namespace
}  // namespace tunewell
