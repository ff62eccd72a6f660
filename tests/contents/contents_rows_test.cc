#include "contents/contents_rows.h"

#include <gtest/gtest.h>

#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

// Tracks as "artist/album/title", with ids 1, 2, ...
struct Library {
  explicit Library(std::vector<std::u16string> entries) {
    for (const auto& entry : entries) {
      const size_t a = entry.find(u'/'), b = entry.find(u'/', a + 1);
      owned.push_back(fixture::MakeTrack(entry.substr(b + 1), entry.substr(0, a),
                                         entry.substr(a + 1, b - a - 1)));
      owned.back().trackId = static_cast<uint32_t>(owned.size());
    }
    tracks = fixture::ArrayOf(owned);
  }
  std::vector<TrackInfo> owned;
  TrackArray tracks;
};

std::u16string Texts(const std::vector<ContentsRow>& rows, bool visible_only = false) {
  std::u16string out;
  for (const ContentsRow& row : rows) {
    if (visible_only && row.visible_index < 0) continue;
    out += std::u16string(row.level + 1, u'>') + row.text + u",";
  }
  return out.substr(0, out.size() - (out.empty() ? 0 : 1));
}

std::u16string Titles(const TrackArray& tracks) {
  std::u16string out;
  for (const TrackInfo* t : tracks) out += t->title;
  return out;
}

TEST(ContentsRowsTest, BuildsTheTree) {
  struct Case {
    std::vector<std::u16string> tracks;
    std::u16string rows;
  } cases[] = {
      // A new artist opens its own album row even when the title repeats.
      {{u"A/X/t1", u"A/X/t2", u"B/X/t3", u"B/Y/t4"},
       u">Music,>>A,>>>X,>>>>t1,>>>>t2,>>B,>>>X,>>>>t3,>>>Y,>>>>t4"},
      {{u"//song"}, u">Music,>>Unknown Artist,>>>Unknown Album,>>>>song"},
      {{}, u",There is no music on the iPod."},
  };
  for (const Case& c : cases) {
    Library library(c.tracks);
    const auto rows = BuildRows(library.tracks);
    EXPECT_EQ(Texts(rows), c.rows);
    for (const ContentsRow& row : rows) {
      EXPECT_EQ(row.expandable, row.level >= 0 && row.level < 3);
      EXPECT_EQ(row.track != nullptr, row.level == 3);
      EXPECT_FALSE(row.expanded || row.selected);
    }
  }
}

// Item height 16 from y 0; the box of a level-l row is x l*15+5..l*15+13, y 2..10 of its item.
class ClickTest : public ::testing::Test {
 protected:
  void SetUp() override { tree.Reset(BuildRows(library.tracks)); }
  // A click on item `item`, in its box or on its text.
  void Click(int item, bool box, bool ctrl = false, bool shift = false) {
    tree.AssignVisibleIndexes();
    int level = 0;
    for (const ContentsRow& row : tree.rows()) {
      if (row.visible_index == item) level = row.level;
    }
    tree.HandleClick(item, 0, item * 16, box ? level * 15 + 5 : 200, item * 16 + (box ? 10 : 5),
                     ctrl, shift);
  }
  void ExpandAll() {
    for (int item = 0; item < CountVisibleRows(tree.rows()); ++item) {
      if (tree.rows()[tree.AssignVisibleIndexes()[item]].expandable) Click(item, true);
    }
  }
  std::u16string Selected() {
    std::u16string out;
    for (const ContentsRow& row : tree.rows()) out += row.selected ? row.text : u"";
    return out;
  }

  Library library{{u"A/X/a", u"A/X/b", u"A/Y/c", u"B/Z/d"}};
  ContentsTree tree;
};

TEST_F(ClickTest, BoxesExpandAndCollapse) {
  Click(0, true);
  Click(1, true);
  EXPECT_EQ(CountVisibleRows(tree.rows()), 5);
  tree.AssignVisibleIndexes();
  EXPECT_EQ(Texts(tree.rows(), true), u">Music,>>A,>>>X,>>>Y,>>B");
  Click(0, true);
  EXPECT_EQ(CountVisibleRows(tree.rows()), 1);
  EXPECT_EQ(Selected(), u"");
  // Just outside the box's right edge selects instead.
  tree.HandleClick(0, 0, 0, 14, 10, false, false);
  EXPECT_EQ(Selected(), u"Music");
}

TEST_F(ClickTest, SelectionRules) {
  ExpandAll();  // Music A X a b Y c B Z d, items 0..9
  struct Step {
    int item;
    bool ctrl, shift;
    std::u16string selected;
  } steps[] = {
      {3, false, false, u"a"}, {6, false, true, u"abYc"}, {2, false, false, u"X"},
      {3, true, false, u"Xa"}, {2, true, false, u"a"},    {5, true, true, u"Xab"},
      {1, false, true, u"AX"}, {-1, false, false, u""},
  };
  for (const Step& s : steps) {
    Click(s.item, false, s.ctrl, s.shift);
    EXPECT_EQ(Selected(), s.selected) << "item " << s.item;
  }
}

TEST_F(ClickTest, SelectedGroupsCoverTheirTracksAndRebuildsResetTheAnchor) {
  Click(0, true);
  Click(1, false);  // artist A, its albums collapsed
  EXPECT_EQ(Titles(tree.SelectedTracks()), u"abc");
  Click(0, false);
  EXPECT_EQ(Titles(tree.SelectedTracks()), u"abcd");
  Click(0, true);
  ExpandAll();
  Click(9, false);
  // Rows too few for the anchor: a range then starts from the first row.
  tree.Reset(BuildRows({}));
  tree.Reset(BuildRows(library.tracks));
  ExpandAll();
  Click(2, false, false, true);
  EXPECT_EQ(Selected(), u"MusicAX");
  tree.Reset(BuildRows({}));
  // The notice rows select nothing, with or without Shift.
  for (bool shift : {false, true}) Click(1, false, false, shift);
  EXPECT_FALSE(tree.AnySelected());
}

}  // namespace
}  // namespace tunewell
