#include "contents/contents_rows.h"

#include <algorithm>

#include "platform/collation.h"

namespace tunewell {

namespace {

constexpr int kLevelIndent = 15;

ContentsRow Row(int level, bool expandable, std::u16string text, TrackInfo* track = nullptr) {
  ContentsRow row;
  row.level = level;
  row.expandable = expandable;
  row.text = std::move(text);
  row.track = track;
  return row;
}

// Calls `visit(position)` for each row a collapsed group does not hide, in order.
template <typename Visit>
void ForVisible(const std::vector<ContentsRow>& rows, Visit visit) {
  int hiding = -1;
  for (size_t i = 0; i < rows.size(); ++i) {
    const ContentsRow& row = rows[i];
    if (hiding != -1 && row.level > hiding) continue;
    visit(i);
    hiding = row.expandable && !row.expanded ? row.level : -1;
  }
}

}  // namespace

std::vector<ContentsRow> BuildRows(const TrackArray& tracks) {
  std::vector<ContentsRow> rows;
  if (tracks.empty()) {
    rows.push_back(Row(-1, false, u""));
    rows.push_back(Row(-1, false, std::u16string(kNoMusicNotice)));
    return rows;
  }
  rows.reserve(tracks.size() * 2 + 1);
  rows.push_back(Row(0, true, std::u16string(kMusicRowText)));
  bool first = true;
  std::u16string last_artist;
  std::u16string last_album;
  for (TrackInfo* track : tracks) {
    std::u16string artist = track->artist.empty() ? std::u16string(kUnknownArtist) : track->artist;
    std::u16string album = track->album.empty() ? std::u16string(kUnknownAlbum) : track->album;
    const bool new_artist = first || CompareText(artist, last_artist) != 0;
    if (new_artist) rows.push_back(Row(1, true, artist));
    // A new artist always opens its own album group, even when the album title repeats the one
    // before: otherwise its tracks would hang under the previous artist's album.
    if (new_artist || CompareText(album, last_album) != 0) rows.push_back(Row(2, true, album));
    rows.push_back(Row(3, false, track->title, track));
    last_artist = std::move(artist);
    last_album = std::move(album);
    first = false;
  }
  return rows;
}

int CountVisibleRows(const std::vector<ContentsRow>& rows) {
  int count = 0;
  ForVisible(rows, [&](size_t) { ++count; });
  return count;
}

RowBox ExpanderBox(int level, int item_left, int item_top) {
  const int left = item_left + level * kLevelIndent + 5;
  return {left, item_top + 2, left + 8, item_top + 10};
}

int TextIndent(int level) { return level * kLevelIndent + 20; }

void ContentsTree::Reset(std::vector<ContentsRow> rows) {
  rows_ = std::move(rows);
  // A range must start at a row that exists.
  if (anchor_ >= rows_.size()) anchor_ = 0;
}

std::vector<size_t> ContentsTree::AssignVisibleIndexes() {
  std::vector<size_t> shown;
  for (ContentsRow& row : rows_) row.visible_index = -1;
  ForVisible(rows_, [&](size_t i) {
    rows_[i].visible_index = static_cast<int>(shown.size());
    shown.push_back(i);
  });
  return shown;
}

void ContentsTree::HandleClick(int item, int item_left, int item_top, int x, int y, bool ctrl,
                               bool shift) {
  AssignVisibleIndexes();
  size_t clicked = rows_.size();
  // Rows before position `item` cannot show as item `item`.
  for (size_t i = item < 0 ? rows_.size() : static_cast<size_t>(item); i < rows_.size(); ++i) {
    if (rows_[i].visible_index == item) {
      clicked = i;
      break;
    }
  }
  if (clicked == rows_.size()) {
    for (ContentsRow& row : rows_) row.selected = false;
    return;
  }
  ContentsRow& row = rows_[clicked];
  if (ExpanderBox(row.level, item_left, item_top).Contains(x, y)) {
    if (row.expandable) row.expanded = !row.expanded;
    return;
  }
  if (!(ctrl && !shift)) {
    for (ContentsRow& other : rows_) other.selected = false;
    if (shift) {
      const size_t from = std::min(anchor_, clicked), to = std::max(anchor_, clicked);
      for (size_t i = from; i <= to; ++i) rows_[i].selected = rows_[i].level >= 0;
    }
  }
  if (row.level < 0) return;
  row.selected = ctrl ? !row.selected : true;
  if (!shift) anchor_ = clicked;
}

bool ContentsTree::AnySelected() const {
  for (const ContentsRow& row : rows_) {
    if (row.selected) return true;
  }
  return false;
}

TrackArray ContentsTree::SelectedTracks() const {
  TrackArray tracks;
  int covering = -1;
  for (const ContentsRow& row : rows_) {
    if (row.expandable) {
      if (covering >= row.level) covering = -1;
      if (row.selected && covering == -1) covering = row.level;
      continue;
    }
    if ((row.selected || covering != -1) && row.track != nullptr) tracks.push_back(row.track);
  }
  return tracks;
}

}  // namespace tunewell
