// What the init and remove commands refuse changes nothing; their runs are the command line's
// end-to-end tests.

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "database/ipod_database.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "storage/ipod_lock.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

int Quietly(int (*command)(Env&, const std::vector<std::string>&), Env& env,
            std::vector<std::string> args) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int code = command(env, args);
  ::testing::internal::GetCapturedStdout();
  ::testing::internal::GetCapturedStderr();
  return code;
}

TEST(InitCommandTest, NeverReplacesADatabaseNorLeavesAHalfWrittenOne) {
  for (const char* existing : {"iTunesDB", "iTunesSD"}) {
    MemoryEnv env;
    ASSERT_TRUE(env.AddFile(std::string("E:/iPod_Control/iTunes/") + existing, "theirs").ok());
    const auto before = env.TakeSnapshot();
    EXPECT_EQ(Quietly(cli::RunInit, env, {"--ipod", "E:/", "--shuffle"}), cli::kExitUnusable);
    EXPECT_EQ(env.TakeSnapshot(), before);
  }
  MemoryEnv failing;
  failing.FailRename(true);
  EXPECT_EQ(Quietly(cli::RunInit, failing, {"--ipod", "E:/"}), cli::kExitUnusable);
  for (const std::string& path : failing.Paths()) EXPECT_EQ(path.find("iTunesDB"), path.npos);
}

// Artist k%5, album k%3 for track id k+1.
TEST(RemoveCommandTest, MistakenSelectionsChangeNothing) {
  // Arguments after --ipod, split at '|'.
  for (std::string c : {"", "--id|1|--artist|Artist 1", "--album|Album 0", "--id|x", "--id|-1",
                        "--id|99999999999", "--id|1|--id|77", "--artist|artist 1",
                        "--artist|Artist 1|--album|Album 9", "--id|1|stray"}) {
    SCOPED_TRACE(c);
    MemoryEnv env;
    const auto sample = fixture::SampleTracks(10);
    fixture::IPodTree tree{3, fixture::BuildITunesDb(sample)};
    for (const auto& t : sample) tree.files[Utf16ToUtf8(t.path)] = "audio";
    ASSERT_TRUE(fixture::WriteIPodTree(env, "E:/", tree).ok());
    const auto before = env.TakeSnapshot();
    std::vector<std::string> args = {"--ipod", "E:/"};
    for (size_t at = 0; !c.empty(); c.erase(0, at == c.npos ? at : at + 1)) {
      args.push_back(c.substr(0, at = c.find('|')));
    }
    EXPECT_EQ(Quietly(cli::RunRemove, env, args), cli::kExitUsage);
    EXPECT_EQ(env.TakeSnapshot(), before);
  }
}

// Picked as `list` shows the tracks, picked again once the iPod is ours; exit 3 when a track or
// its file stays behind.
TEST(RemoveCommandTest, RemovesWhatWasShownAndIsStillThere) {
  const auto track3_file = [](MemoryEnv& env) {
    env.FailRemove("E:/iPod_Control/Music/F02/TRK2.mp3");
  };
  const struct {
    std::vector<std::string> args;
    void (*meanwhile)(MemoryEnv&);  // while the lock is held by another run
    int exit;
    std::vector<uint32_t> left;
  } cases[] = {
      {{"--artist", "Unknown Artist"}, nullptr, cli::kExitDone, {2, 3, 4, 5, 7, 8}},
      {{"--artist", "Artist 2", "--album", "Unknown Album"},
       nullptr,
       cli::kExitDone,
       {1, 2, 4, 5, 6, 7, 8}},
      {{"--id", "3"}, track3_file, cli::kExitIncomplete, {1, 2, 4, 5, 6, 7, 8}},
      // Track 3 went and a new track took its id.
      {{"--id", "3", "--id", "4"},
       [](MemoryEnv& env) {
         auto now = fixture::SampleTracks(8);
         now[2].path = u":iPod_Control:Music:F00:NEW3.mp3";
         ASSERT_TRUE(fixture::WriteWholeFile(env, "E:/iPod_Control/iTunes/iTunesDB",
                                             fixture::BuildITunesDb(now))
                         .ok());
       },
       cli::kExitIncomplete,
       {1, 2, 3, 5, 6, 7, 8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    MemoryEnv env;
    auto sample = fixture::SampleTracks(8);
    sample[0].artist = sample[5].artist = sample[2].album = u"";
    fixture::IPodTree tree{3, fixture::BuildITunesDb(sample)};
    for (const auto& t : sample) tree.files[Utf16ToUtf8(t.path)] = "audio";
    ASSERT_TRUE(fixture::WriteIPodTree(env, "E:/", tree).ok());
    std::unique_ptr<FileLock> held;
    ASSERT_TRUE(env.LockFile(IPodLockPath("E:/"), &held).ok());
    std::vector<std::string> args = {"--ipod", "E:/"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto run = std::async(std::launch::async, [&] { return Quietly(cli::RunRemove, env, args); });
    while (env.Calls(MemoryEnv::Op::kLock) < 2) std::this_thread::yield();
    if (c.meanwhile) c.meanwhile(env);
    held.reset();
    EXPECT_EQ(run.get(), c.exit);
    OwnedTracks left;
    ASSERT_TRUE(IPodDatabase(env, "E:/").ReadTrackList(&left).ok());
    std::vector<uint32_t> ids;
    for (const auto& t : left) ids.push_back(t->trackId);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, c.left);
  }
}

}  // namespace
}  // namespace tunewell
