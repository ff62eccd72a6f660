#include "platform/path.h"

#include <gtest/gtest.h>

#include <string>

namespace tunewell {
namespace {

// `text` with '|' standing for this build's separator.
std::string P(std::string text) {
  for (char& c : text) c = c == '|' ? kPathSeparator : c;
  return text;
}

TEST(PathTest, JoinAddAndCut) {
  // One separator between parts, whether or not the root ends in one; '/' counts everywhere.
  EXPECT_EQ(JoinPath(P("|ipod|"), {"iPod_Control", "Music", "F07"}),
            P("|ipod|iPod_Control|Music|F07"));
  EXPECT_EQ(JoinPath(P("|ipod"), {"x.mp3"}), P("|ipod|x.mp3"));
  EXPECT_EQ(JoinPath(P("|"), {"x"}), P("|x"));
  EXPECT_EQ(JoinPath("E:/", {"x"}), "E:/x");
  EXPECT_EQ(JoinPath(P("|ipod|"), {}), P("|ipod|"));
  EXPECT_EQ(JoinPath("", {"a", "b"}), P("a|b"));

  for (const char* path : {"|media|IPOD", "|media|IPOD|"}) {
    EXPECT_EQ(WithTrailingSeparator(P(path)), P("|media|IPOD|"));
  }
  EXPECT_EQ(WithTrailingSeparator("E:/"), "E:/");
  EXPECT_EQ(WithTrailingSeparator(P("|")), P("|"));

  const std::pair<std::string, std::string> parents[] = {
      {P("|ipod|iPod_Control|iTunesDB"), P("|ipod|iPod_Control")},
      {P("a|b|"), P("a|b")},
      {"name.mp3", ""},
      {"", ""},
      {"a/b", "a"},
      // The parent of a file in a root is the root, not the current folder.
      {P("|iTunesDB"), P("|")},
      {P("E:|iTunesDB"), P("E:|")},
  };
  for (const auto& [path, parent] : parents) EXPECT_EQ(ParentOf(path), parent) << path;
}

}  // namespace
}  // namespace tunewell
