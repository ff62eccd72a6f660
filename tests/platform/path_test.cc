#include "platform/path.h"

#include <gtest/gtest.h>

#include <string>

namespace tunewell {
namespace {

std::string P(std::string text) {  // '|' for this build's separator
  for (char& c : text) c = c == '|' ? kPathSeparator : c;
  return text;
}

TEST(PathTest, JoinAddAndCut) {
  const std::pair<std::string, std::string> cases[] = {
      {JoinPath(P("|ipod|"), {"iPod_Control", "F07"}), P("|ipod|iPod_Control|F07")},
      {JoinPath(P("|ipod"), {"x.mp3"}), P("|ipod|x.mp3")},
      {JoinPath(P("|"), {"x"}), P("|x")},
      {JoinPath("E:/", {"x"}), "E:/x"},
      {JoinPath(P("|ipod|"), {}), P("|ipod|")},
      {JoinPath("", {"a", "b"}), P("a|b")},
      {WithTrailingSeparator(P("|media|IPOD")), P("|media|IPOD|")},
      {WithTrailingSeparator(P("|media|IPOD|")), P("|media|IPOD|")},
      {WithTrailingSeparator("E:/"), "E:/"},
      {WithTrailingSeparator(P("|")), P("|")},
      {ParentOf(P("|ipod|iPod_Control|iTunesDB")), P("|ipod|iPod_Control")},
      {ParentOf(P("a|b|")), P("a|b")},
      {ParentOf("name.mp3"), ""},
      {ParentOf(""), ""},
      {ParentOf("a/b"), "a"},
      // The parent of a file in a root is the root, not the current folder.
      {ParentOf(P("|iTunesDB")), P("|")},
      {ParentOf(P("E:|iTunesDB")), P("E:|")},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace tunewell
