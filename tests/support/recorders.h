#pragma once

// What the program tells the user and asks of its host, recorded instead of shown.

#include <string>
#include <vector>

#include "storage/missing_file_notice.h"
#include "sync/sync_host.h"

namespace tunewell::fixture {

// Every notice as "caption: text", in order.
class RecordingNotice : public MissingFileNotice {
 public:
  void Show(const std::string& text, const std::string& caption) override {
    shown.push_back(caption + ": " + text);
  }
  std::vector<std::string> shown;
};

// A sync request's host: answers from its fields, counts what it was asked to do, and records
// its notices like RecordingNotice.
class RecordingHost : public SyncHost {
 public:
  std::string root;
  SyncListSource* sync_list = nullptr;
  RecordingNotice notices;
  int root_asks = 0, stops = 0, refreshes = 0, waits = 0, wait_depth = 0;

  std::string GetIPodRootDirectory() override {
    ++root_asks;
    return root;
  }
  void StopAutomaticSyncProcess() override { ++stops; }
  SyncListSource* GetSyncList() override { return sync_list; }
  void ShowNotice(const std::string& text, const std::string& caption) override {
    notices.Show(text, caption);
  }
  void BeginWaitCursor() override { ++waits, ++wait_depth; }
  void EndWaitCursor() override { --wait_depth; }
  void RefreshContentsView() override { ++refreshes; }
};

}  // namespace tunewell::fixture
