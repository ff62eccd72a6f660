#include "database/shuffle_database.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "database/coding.h"
#include "database/shuffle_layout.h"
#include "writer_test_util.h"

namespace tunewell {
namespace {

using testing::ReadAll;
using testing::TempFolder;
using testing::WriteAll;

std::string ShuffleWith(const std::vector<std::u16string>& locations) {
  std::string image = BuildEmptyITunesSd();
  for (const auto& location : locations) {
    std::string entry;
    EXPECT_TRUE(BuildShuffleEntry(location, &entry).ok());
    image += entry;
  }
  EncodeBig24(image.data(), static_cast<uint32_t>(locations.size()));
  return image;
}

TrackInfo AtLocation(std::u16string location) {
  TrackInfo t;
  t.path = std::move(location);
  return t;
}

class ShuffleDatabaseTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string path_ = folder_.File("iTunesSD");
};

TEST_F(ShuffleDatabaseTest, EntryLayout) {
  std::string e;
  ASSERT_TRUE(BuildShuffleEntry(u":iPod_Control:Music:F07:QKZA.mp3", &e).ok());
  ASSERT_EQ(e.size(), 558u);
  EXPECT_EQ(DecodeBig24(e.data()), 558u);
  EXPECT_EQ(e.substr(3, 3), "\x5A\xA5\x01");
  EXPECT_EQ(DecodeBig24(e.data() + 24), 100u);
  EXPECT_EQ(DecodeBig24(e.data() + 27), 1u);
  EXPECT_EQ(e.substr(30, 3), std::string("\x00\x02\x00", 3));
  EXPECT_EQ(e.substr(33, 6), std::string("/\0i\0P\0", 6));
  EXPECT_EQ(e[555], 1);
  EXPECT_EQ(ShuffleEntryName(e), u":iPod_Control:Music:F07:QKZA.mp3");

  const std::u16string longest(261, u'x');
  EXPECT_TRUE(BuildShuffleEntry(longest, &e).ok());
  EXPECT_EQ(ShuffleEntryName(e), longest);
  EXPECT_EQ(BuildShuffleEntry(longest + u"x", &e).code(), Status::Code::kInvalidArgument);
}

TEST_F(ShuffleDatabaseTest, AddingAppendsAndCounts) {
  WriteAll(path_, ShuffleWith({u":a", u":b", u":c", u":d", u":e"}));
  ShuffleDatabase sd(Env::Default());
  ASSERT_TRUE(sd.Load(path_).ok());
  ASSERT_TRUE(sd.loaded());
  TrackInfo x = AtLocation(u":iPod_Control:Music:F01:ABCD.mp3"), y = AtLocation(u":y\u20AC");
  ASSERT_TRUE(testing::SaveAdding(sd, path_, {&x, &y}).ok());
  const std::string out = ReadAll(path_);
  ASSERT_EQ(out.size(), 3924u);
  EXPECT_EQ(out.substr(0, 3), std::string("\0\0\x07", 3));
  EXPECT_EQ(ShuffleEntryName(std::string_view(out).substr(18 + 5 * 558, 558)), x.path);
  EXPECT_EQ(ShuffleEntryName(std::string_view(out).substr(18 + 6 * 558, 558)), y.path);
}

TEST_F(ShuffleDatabaseTest, RemovingMatchesNamesExactly) {
  const std::string before = ShuffleWith({u":first", u":Second", u":third"});
  WriteAll(path_, before);
  ShuffleDatabase sd(Env::Default());
  ASSERT_TRUE(sd.Load(path_).ok());
  // A differently cased name, a repeat and a stranger remove nothing more than the first entry.
  TrackInfo first = AtLocation(u":first"), cased = AtLocation(u":second"),
            stranger = AtLocation(u":nowhere");
  ASSERT_TRUE(testing::SaveRemoving(sd, path_, {&first, &cased, &first, &stranger}).ok());
  const std::string out = ReadAll(path_);
  ASSERT_EQ(out.size(), 18u + 2 * 558);
  EXPECT_EQ(DecodeBig24(out.data()), 2u);
  EXPECT_EQ(out.substr(3, 15), before.substr(3, 15));
  EXPECT_EQ(out.substr(18), before.substr(18 + 558));
}

TEST_F(ShuffleDatabaseTest, MissingEmptyOrMalformedFilesAreNeverWritten) {
  ShuffleDatabase absent(Env::Default());
  EXPECT_TRUE(absent.Load(path_).IsNotFound());
  TrackInfo x = AtLocation(u":x");
  EXPECT_TRUE(testing::SaveAdding(absent, path_, {&x}).IsNotFound());
  EXPECT_FALSE(std::filesystem::exists(path_));

  WriteAll(path_, "");
  ShuffleDatabase empty(Env::Default());
  EXPECT_TRUE(empty.Load(path_).ok());
  EXPECT_FALSE(empty.loaded());
  EXPECT_FALSE(testing::SaveAdding(empty, path_, {&x}).ok());
  EXPECT_EQ(ReadAll(path_), "");

  // A count that promises more entries than the file holds, and a cut-off entry.
  std::string lying = ShuffleWith({u":a"});
  EncodeBig24(lying.data(), 3);
  std::string cut = ShuffleWith({u":a"});
  cut.resize(cut.size() - 1);
  for (const std::string& bad : {lying, cut, std::string("\0\0", 2)}) {
    WriteAll(path_, bad);
    ShuffleDatabase sd(Env::Default());
    EXPECT_TRUE(sd.Load(path_).IsCorruption());
    EXPECT_FALSE(testing::SaveAdding(sd, path_, {&x}).ok());
    EXPECT_EQ(ReadAll(path_), bad);
  }
}

TEST_F(ShuffleDatabaseTest, ReadsTheRealShuffleDatabase) {
  const auto real = std::filesystem::path(TUNEWELL_REAL_IPODS_DIR) / "podcasts" / "iPod_Control" /
                    "iTunes" / "iTunesSD";
  ShuffleDatabase sd(Env::Default());
  ASSERT_TRUE(sd.Load(real.string()).ok());
  EXPECT_EQ(sd.count(), 13);
}

}  // namespace
}  // namespace tunewell
