// What the init and remove commands refuse changes nothing; their runs are the command line's
// end-to-end tests.

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
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

}  // namespace
}  // namespace tunewell
