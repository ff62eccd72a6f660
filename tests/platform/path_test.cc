#include "platform/path.h"

#include <gtest/gtest.h>

#include <string>

namespace tunewell {
namespace {

// Builds an expected path from names and separators written as '|'.
std::string P(std::string text) {
  for (char& c : text) {
    if (c == '|') c = kPathSeparator;
  }
  return text;
}

TEST(PathTest, JoinPathPutsOneSeparatorBetweenParts) {
  EXPECT_EQ(JoinPath(P("|ipod|"), {"iPod_Control", "Music", "F07"}),
            P("|ipod|iPod_Control|Music|F07"));
  // A root without its separator gets one; a root that has one does not get a second.
  EXPECT_EQ(JoinPath(P("|ipod"), {"x.mp3"}), P("|ipod|x.mp3"));
  EXPECT_EQ(JoinPath(P("|"), {"x"}), P("|x"));
  // '/' is a separator on every build, so it is not doubled either.
  EXPECT_EQ(JoinPath("E:/", {"x"}), "E:/x");
}

TEST(PathTest, JoinPathEdgeParts) {
  EXPECT_EQ(JoinPath(P("|ipod|"), {}), P("|ipod|"));
  EXPECT_EQ(JoinPath("", {"a", "b"}), P("a|b"));
}

TEST(PathTest, WithTrailingSeparatorAddsOnlyWhenMissing) {
  EXPECT_EQ(WithTrailingSeparator(P("|media|IPOD")), P("|media|IPOD|"));
  EXPECT_EQ(WithTrailingSeparator(P("|media|IPOD|")), P("|media|IPOD|"));
  EXPECT_EQ(WithTrailingSeparator("E:/"), "E:/");
  EXPECT_EQ(WithTrailingSeparator(P("|")), P("|"));
}

TEST(PathTest, ParentOfCutsAtTheLastSeparator) {
  EXPECT_EQ(ParentOf(P("|ipod|iPod_Control|iTunes|iTunesDB")), P("|ipod|iPod_Control|iTunes"));
  EXPECT_EQ(ParentOf(P("a|b|")), P("a|b"));
  EXPECT_EQ(ParentOf("name.mp3"), "");
  EXPECT_EQ(ParentOf(""), "");
  EXPECT_EQ(ParentOf("a/b"), "a");
  // The parent of a file in a root is the root, not the current folder.
  EXPECT_EQ(ParentOf(P("|iTunesDB")), P("|"));
  EXPECT_EQ(ParentOf(P("E:|iTunesDB")), P("E:|"));
  // Round trip with JoinPath.
  const std::string folder = P("|ipod|iPod_Control|Music|F00");
  EXPECT_EQ(ParentOf(JoinPath(folder, {"ABCD.mp3"})), folder);
}

}  // namespace
}  // namespace tunewell
