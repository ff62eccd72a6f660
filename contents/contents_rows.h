#pragma once

// The rows of the iPod contents tree, Music > artist > album > track, and what the mouse does to
// them. Portable: the window that paints them is the plug-in's, the command line prints them.

#include <string>
#include <vector>

#include "track/track_info.h"

namespace tunewell {

inline constexpr std::u16string_view kMusicRowText = u"Music";
inline constexpr std::u16string_view kUnknownArtist = u"Unknown Artist";
inline constexpr std::u16string_view kUnknownAlbum = u"Unknown Album";
inline constexpr std::u16string_view kNoMusicNotice = u"There is no music on the iPod.";

struct ContentsRow {
  int level = 0;  // -1 for notice rows, 0 Music, 1 artist, 2 album, 3 track
  bool expandable = false;
  bool expanded = false;
  bool selected = false;
  std::u16string text;
  TrackInfo* track = nullptr;  // track rows only
  // The list item that shows the row; -1 while it lies inside a collapsed group.
  int visible_index = -1;
};

// Rows for `tracks`, which are in display order. No tracks: a blank notice row and the
// "no music" notice. Otherwise "Music", then an artist row whenever the artist changes and an
// album row whenever the album or the artist changes (CompareText), each track under them.
std::vector<ContentsRow> BuildRows(const TrackArray& tracks);

// Rows a collapsed group does not hide.
int CountVisibleRows(const std::vector<ContentsRow>& rows);

// Pixel geometry of a row shown in the list item whose bounds start at (left, top).
struct RowBox {
  int left, top, right, bottom;  // edges included
  bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};
// The expander box a click toggles.
RowBox ExpanderBox(int level, int item_left, int item_top);
// Where the row's text starts.
int TextIndent(int level);

// The rows of the view with their selection. Not thread-safe: its owner serialises.
class ContentsTree {
 public:
  // Replaces the rows; selection and expansion start afresh, the anchor stays if it still
  // names a row.
  void Reset(std::vector<ContentsRow> rows);
  void Clear() { Reset({}); }

  const std::vector<ContentsRow>& rows() const { return rows_; }
  // Numbers the visible rows 0, 1, ... in order and returns their positions in rows().
  std::vector<size_t> AssignVisibleIndexes();

  // A left click at (x, y) on list item `item` (-1 for none), whose bounds start at
  // (item_left, item_top). A click in a row's box expands or collapses it; elsewhere it selects:
  // plain click one row, Ctrl toggles one, Shift the range from the anchor, Ctrl+Shift the range
  // without the clicked row. Notice rows are never selected.
  void HandleClick(int item, int item_left, int item_top, int x, int y, bool ctrl, bool shift);

  bool AnySelected() const;
  // The tracks of the selected rows and of every row under a selected group, collapsed or not,
  // in row order.
  TrackArray SelectedTracks() const;

 private:
  std::vector<ContentsRow> rows_;
  size_t anchor_ = 0;
};

}  // namespace tunewell
