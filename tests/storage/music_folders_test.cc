#include "storage/music_folders.h"

#include <gtest/gtest.h>

#include "storage_test_util.h"

namespace tunewell {
namespace {

using testing::DrawsFor;
using testing::MakeMusicFolders;
using testing::ScriptedRandom;
using testing::TempFolder;
using testing::WriteBytes;

TEST(CountMusicFoldersTest, CountsNumberedFoldersOnly) {
  TempFolder ipod;
  EXPECT_EQ(CountMusicFolders(Env::Default(), ipod.root()), 0) << "no music folder at all";

  MakeMusicFolders(ipod.path(), 20);
  EXPECT_EQ(CountMusicFolders(Env::Default(), ipod.root()), 20);

  // A stray file starting with F must not make an F20 that does not exist choosable.
  const auto music = ipod.path() / "iPod_Control" / "Music";
  WriteBytes(music / "Fnotes.txt", "x");
  WriteBytes(music / "F20", "a file, not a folder");
  std::filesystem::create_directories(music / "f21");
  std::filesystem::create_directories(music / "Fx");
  EXPECT_EQ(CountMusicFolders(Env::Default(), ipod.root()), 20);

  // The root is accepted without its trailing separator too.
  EXPECT_EQ(CountMusicFolders(Env::Default(), ipod.root().substr(0, ipod.root().size() - 1)), 20);
}

TEST(GenerateDirNameTest, PrintsAtLeastTwoDigitsOfTheDrawModuloTheCount) {
  struct Case {
    int32_t count;
    int draw;
    const char* expected;
  } cases[] = {
      {5, 7, "F02"},      {5, 4, "F04"},   {20, 32767, "F07"}, {120, 100, "F100"},
      {120, 239, "F119"}, {120, 9, "F09"}, {1, 32767, "F00"},
  };
  for (const Case& c : cases) {
    ScriptedRandom random({c.draw});
    std::string path = "F";
    ASSERT_TRUE(GenerateDirName(c.count, random, &path).ok());
    EXPECT_EQ(path, c.expected) << "count " << c.count << " draw " << c.draw;
    EXPECT_EQ(random.draws(), 1);
  }
}

TEST(GenerateDirNameTest, NoFoldersRefusesWithoutDrawing) {
  for (int32_t count : {0, -1}) {
    ScriptedRandom random;
    std::string path = "F";
    EXPECT_EQ(GenerateDirName(count, random, &path).code(), Status::Code::kInvalidArgument);
    EXPECT_EQ(path, "F");
    EXPECT_EQ(random.draws(), 0);
  }
}

class GenerateFileNameTest : public ::testing::Test {
 protected:
  GenerateFileNameTest() {
    MakeMusicFolders(ipod_.path(), 8);
    folder_ = WithTrailingSeparator((ipod_.path() / "iPod_Control" / "Music" / "F07").string());
  }
  TempFolder ipod_;
  std::string folder_;
};

TEST_F(GenerateFileNameTest, FourDrawsMakeFourLettersAndMp3) {
  ScriptedRandom random({16, 10, 25 + 26, 0 + 26 * 1260});
  std::string path = folder_;
  ASSERT_TRUE(GenerateFileName(Env::Default(), 4, random, &path).ok());
  EXPECT_EQ(path, folder_ + "QKZA.mp3");
  EXPECT_EQ(random.draws(), 4);
}

TEST_F(GenerateFileNameTest, TakenNameCostsExactlyFourMoreDrawsInTheSameFolder) {
  WriteBytes(folder_ + "QKZA.mp3", "already here");
  std::filesystem::create_directories(folder_ + "ABCD.mp3");  // a folder takes the name too
  std::vector<int> draws = DrawsFor(0, "QKZA");
  draws.erase(draws.begin());
  for (const char* name : {"ABCD", "WXYZ"}) {
    const auto more = DrawsFor(0, name);
    draws.insert(draws.end(), more.begin() + 1, more.end());
  }
  ScriptedRandom random(draws);
  std::string path = folder_;
  ASSERT_TRUE(GenerateFileName(Env::Default(), 4, random, &path).ok());
  EXPECT_EQ(path, folder_ + "WXYZ.mp3");
  EXPECT_EQ(random.draws(), 12);
  EXPECT_EQ(testing::ReadBytes(folder_ + "QKZA.mp3"), "already here");
}

TEST_F(GenerateFileNameTest, GivesUpAfterBoundedAttemptsLeavingThePathAlone) {
  WriteBytes(folder_ + "AAAA.mp3", "");
  ScriptedRandom random;  // draws nothing but zeros: AAAA forever
  std::string path = folder_;
  const Status s = GenerateFileName(Env::Default(), 4, random, &path);
  EXPECT_TRUE(s.IsNoSpace()) << s.ToString();
  EXPECT_EQ(path, folder_);
  EXPECT_EQ(random.draws(), 4 * kMaxNameAttempts);
}

}  // namespace
}  // namespace tunewell
