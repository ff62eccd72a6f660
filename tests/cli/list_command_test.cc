// The `tunewell list` program, run as a user runs it.

#include <gtest/gtest.h>

#include "platform/path.h"
#include "tests/database/reader_test_util.h"
#include "tests/support/gpod_client.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/test_paths.h"

namespace tunewell {
namespace {

using fixture::RunCommand;
using fixture::ShellQuote;

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

Outcome List(const std::string& args) {
  const std::string command = ShellQuote(TUNEWELL_CLI) + " list " + args;
  Outcome run;
  run.exit_code = RunCommand(command + " 2>/dev/null", &run.out);
  RunCommand(command + " 2>&1 >/dev/null", &run.err);
  return run;
}

class ListCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "runs the program through a POSIX shell";
#endif
  }
  void MakeIPod(std::optional<std::string> db) {
    fixture::IPodTree tree;
    tree.itunes_db = std::move(db);
    ASSERT_TRUE(fixture::WriteIPodTree(Env::Default(), folder_.path(), tree).ok());
  }
  std::string Ipod() const { return "--ipod " + ShellQuote(folder_.path()); }
  fixture::TempFolder folder_;
};

TEST_F(ListCommandTest, MissingOrCorruptDatabaseExitsWithTwo) {
  MakeIPod(std::nullopt);
  Outcome run = List(Ipod());
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("iTunesDB"), std::string::npos) << run.err;

  std::string image = fixture::BuildITunesDb(fixture::SampleTracks(3));
  image.resize(image.size() - 100);
  MakeIPod(image);
  run = List(Ipod());
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("Corruption"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("offset"), std::string::npos) << run.err;

  EXPECT_EQ(List("").exit_code, 1) << "--ipod is required";
}

TEST_F(ListCommandTest, TreeAndJsonOfAFixture) {
  fixture::FixtureTrack euro = FTrack(7, u"Caf\u00E9 \u20AC", u"Band", u"Live", 2);
  euro.genre = u"Jazz";
  euro.composer = u"Me";
  euro.path = u":iPod_Control:Music:F01:ABCD.mp3";
  fixture::FixtureTrack quoted = FTrack(3, u"Say \"hi\"", u"Band", u"Live", 1);
  MakeIPod(fixture::BuildITunesDb({euro, quoted, FTrack(9, u"Solo", u"Alone", u"", 0)}));

  Outcome run = List(Ipod());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "Music\n"
            "  Alone\n"
            "    Unknown Album\n"
            "      Solo  [id 9]\n"
            "  Band\n"
            "    Live\n"
            "      Say \"hi\"  [id 3]\n"
            "      Caf\xC3\xA9 \xE2\x82\xAC  [id 7]\n");

  run = List(Ipod() + " --json");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const size_t solo = run.out.find("\"title\": \"Solo\"");
  const size_t say = run.out.find("\"title\": \"Say \\\"hi\\\"\"");
  const size_t cafe = run.out.find("\"title\": \"Caf\xC3\xA9 \xE2\x82\xAC\"");
  ASSERT_NE(solo, std::string::npos) << run.out;
  ASSERT_NE(say, std::string::npos) << run.out;
  ASSERT_NE(cafe, std::string::npos) << run.out;
  EXPECT_LT(solo, say);
  EXPECT_LT(say, cafe);
  for (const char* field : {"\"id\": 7", "\"artist\": \"Band\"", "\"album\": \"Live\"",
                            "\"genre\": \"Jazz\"", "\"composer\": \"Me\"", "\"trackNumber\": 2",
                            "\"position\": 1", "\"path\": \":iPod_Control:Music:F01:ABCD.mp3\""}) {
    EXPECT_NE(run.out.find(field), std::string::npos) << field << " in " << run.out;
  }
  EXPECT_EQ(run.out.front(), '[');
}

TEST_F(ListCommandTest, ListsARealIPod) {
  const std::string root = JoinPath(fixture::RealIpodsDir(), {"podcasts"});
  Outcome run = List("--ipod " + ShellQuote(root) + " --json");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  size_t elements = 0;
  for (size_t at = run.out.find("\"id\": "); at != std::string::npos;
       at = run.out.find("\"id\": ", at + 1)) {
    ++elements;
  }
  EXPECT_EQ(elements, 23u);
  EXPECT_NE(run.out.find("THE MVP Episode #20"), std::string::npos);

  run = List("--ipod " + ShellQuote(root));
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 6), "Music\n");
}

}  // namespace
}  // namespace tunewell
