#include "player/win32/player_sync_host.h"

#include "player/win32/player_windows.h"

namespace tunewell {

std::vector<SyncListRow> SyncListRows::CheckedRows() {
  std::vector<SyncListRow> rows;
  HWND header = ::GetWindow(list_, GW_CHILD);
  int path_column = -1;
  if (!FindFilePathColumn(header, &path_column)) {
    ShowFilePathColumn(list_);
    // Without the column no row can name its file.
    if (!FindFilePathColumn(header, &path_column)) return rows;
  }
  const int count = ListRowCount(list_);
  for (int row = 0; row < count; ++row) {
    if (!ListRowChecked(list_, row)) continue;
    rows.push_back({ListCellText(list_, row, 0), ListCellText(list_, row, path_column)});
  }
  return rows;
}

std::string PlayerSyncHost::GetIPodRootDirectory() {
  std::string root = hook_.IPodRoot();
  on_root_(root);
  return root;
}

SyncListSource* PlayerSyncHost::GetSyncList() {
  HWND list = hook_.SyncListView(kSyncListId);
  if (list == nullptr) return nullptr;
  rows_ = std::make_unique<SyncListRows>(list);
  return rows_.get();
}

void PlayerSyncHost::ShowNotice(const std::string& text, const std::string& caption) {
  MessageBoxNotice().Show(text, caption);
}

void PlayerSyncHost::BeginWaitCursor() {
  previous_cursor_ = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}

void PlayerSyncHost::EndWaitCursor() { ::SetCursor(previous_cursor_); }

void MessageBoxNotice::Show(const std::string& text, const std::string& caption) {
  ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace tunewell
