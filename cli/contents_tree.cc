#include "cli/contents_tree.h"

#include <cstdio>
#include <string>

#include "cli/visible_text.h"
#include "contents/contents_rows.h"
#include "platform/text.h"

namespace tunewell::cli {

void PrintContentsTree(const OwnedTracks& tracks) {
  TrackArray order;
  for (const auto& track : tracks) order.push_back(track.get());
  std::string out;
  for (const ContentsRow& row : BuildRows(order)) {
    if (row.level < 0 && row.text.empty()) continue;
    out.append(static_cast<size_t>(row.level > 0 ? row.level * 2 : 0), ' ');
    out += WideToNarrow(VisibleText(row.text));
    if (row.track != nullptr) out += "  [id " + std::to_string(row.track->trackId) + "]";
    out += '\n';
  }
  std::fputs(out.c_str(), stdout);
}

}  // namespace tunewell::cli
