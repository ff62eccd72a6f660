#include "player/win32/auto_sync_selection.h"

#include <vector>

#include "hook/player_controls.h"
#include "player/win32/player_windows.h"
#include "sync/auto_sync_file.h"

namespace tunewell {

void SaveAutoSyncSelection(Env& env, HWND dialog, const std::string& ipod_root) {
  if (dialog == nullptr || ipod_root.empty()) return;
  HWND page = FindCustomSyncPage(dialog);
  HWND box = ::GetDlgItem(dialog, kAutoSyncBoxId);
  if (box == nullptr && page != nullptr) box = ::GetDlgItem(page, kCustomPageBoxId);
  if (box != nullptr && (::SendMessageA(box, BM_GETCHECK, 0, 0) & 1) == 0) {
    // A file that could not be deleted keeps the old selection; there is no one to tell here.
    AutoSyncFile(env).Delete(ipod_root).IgnoreError();
    return;
  }
  HWND host = ::GetDlgItem(page != nullptr ? page : dialog, kPlaylistHostId);
  HWND list =
      host == nullptr ? nullptr : ::GetDlgItem(::GetWindow(host, GW_CHILD), kPlaylistListId);
  std::vector<std::string> names;
  const int rows = ListRowCount(list);
  for (int row = 0; row < rows; ++row) {
    // The settings dialog's own state images may carry more than the tick.
    if ((ListRowStateImage(list, row) & kCheckedStateImage) != 0) {
      names.push_back(ListCellText(list, row, 0));
    }
  }
  // A failed write keeps the previous selection whole; there is no one to tell here.
  WriteAutoSyncSelection(env, ipod_root, names).IgnoreError();
}

}  // namespace tunewell
