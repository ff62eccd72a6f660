#include "cli/visible_text.h"

#include <gtest/gtest.h>

namespace tunewell::cli {
namespace {

TEST(VisibleTextTest, ControlCharactersBecomeEscapes) {
  const struct {
    std::u16string in, out;
  } cases[] = {
      {u"Caf\u00E9 \u20AC \\n", u"Caf\u00E9 \u20AC \\n"},
      {u"\x1B[31mred\x1B[0m", u"\\x1B[31mred\\x1B[0m"},
      {u"one\ntwo\rthree\tfour", u"one\\ntwo\\rthree\\tfour"},
      {std::u16string(u"a\0b\x7F", 4), u"a\\x00b\\x7F"},
      {u"\u009B2J\u0085\u00A0", u"\\u009B2J\\u0085\u00A0"},
  };
  for (const auto& c : cases) EXPECT_EQ(VisibleText(c.in), c.out);
  EXPECT_EQ(VisibleText(std::string("\x1B]0;title\a")), "\\x1B]0;title\\x07");
}

}  // namespace
}  // namespace tunewell::cli
