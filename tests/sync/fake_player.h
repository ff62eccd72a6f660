#pragma once

// A player library, host and progress made of plain containers, recording what the sync engine
// asks of them.

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "storage/missing_file_notice.h"
#include "sync/player_library.h"
#include "sync/progress.h"
#include "sync/sync_host.h"

namespace tunewell {

inline void PrintTo(const SyncSummary& s, std::ostream* os) {
  *os << "{remaining " << s.remaining << ", existing " << s.existing << ", copied " << s.copied
      << ", notMp3 " << s.notMp3 << "}";
}

namespace testing {

class FakeMedia : public PlayerMedia {
 public:
  FakeMedia(std::u16string name, std::u16string url, std::map<std::u16string, std::u16string> info,
            double duration = 0.0)
      : name_(std::move(name)), url_(std::move(url)), info_(std::move(info)), duration_(duration) {}

  std::u16string Name() override { return name_; }
  std::u16string SourceUrl() override { return url_; }
  double Duration() override { return duration_; }
  std::u16string GetItemInfo(std::u16string_view attribute) override {
    auto it = info_.find(std::u16string(attribute));
    return it == info_.end() ? std::u16string() : it->second;
  }

 private:
  std::u16string name_;
  std::u16string url_;
  std::map<std::u16string, std::u16string> info_;
  double duration_;
};

class FakePlaylist : public PlayerPlaylist {
 public:
  explicit FakePlaylist(std::u16string name) : name_(std::move(name)) {}

  int32_t Count() override { return static_cast<int32_t>(items_.size()); }
  std::shared_ptr<PlayerMedia> Item(int32_t index) override { return items_.at(index); }
  void AppendItem(const std::shared_ptr<PlayerMedia>& media) override { items_.push_back(media); }

  const std::u16string& name() const { return name_; }
  const std::vector<std::shared_ptr<PlayerMedia>>& items() const { return items_; }

 private:
  std::u16string name_;
  std::vector<std::shared_ptr<PlayerMedia>> items_;
};

class FakeLibrary : public PlayerLibrary {
 public:
  // A library item with the usual attributes; `type` is its "FileType".
  std::shared_ptr<FakeMedia> AddMedia(std::u16string title, std::u16string artist,
                                      std::u16string album, std::u16string path,
                                      std::u16string type = u"mp3",
                                      std::map<std::u16string, std::u16string> more = {}) {
    more[u"Author"] = std::move(artist);
    more[u"WM/AlbumTitle"] = std::move(album);
    more[u"FileType"] = std::move(type);
    auto media = std::make_shared<FakeMedia>(std::move(title), std::move(path), std::move(more));
    media_.push_back(media);
    return media;
  }

  std::shared_ptr<FakePlaylist> AddPlaylist(std::u16string name,
                                            std::vector<std::shared_ptr<FakeMedia>> items = {}) {
    auto playlist = std::make_shared<FakePlaylist>(std::move(name));
    for (auto& item : items) playlist->AppendItem(item);
    playlists_.push_back(playlist);
    return playlist;
  }

  std::shared_ptr<PlayerPlaylist> NewPlaylist(std::u16string_view name) override {
    ++new_playlists_;
    return AddPlaylist(std::u16string(name));
  }
  PlaylistArray GetPlaylistsByName(std::u16string_view name) override {
    PlaylistArray found;
    for (auto& p : playlists_) {
      if (p->name() == name) found.push_back(p);
    }
    return found;
  }
  PlaylistArray GetAllPlaylists() override { return {playlists_.begin(), playlists_.end()}; }
  void RemovePlaylist(const std::shared_ptr<PlayerPlaylist>& playlist) override {
    std::erase_if(playlists_, [&](const auto& p) { return p == playlist; });
  }
  std::shared_ptr<PlayerPlaylist> GetMediaByName(std::u16string_view title) override {
    auto found = std::make_shared<FakePlaylist>(u"");
    for (auto& m : media_) {
      if (m->Name() == title) found->AppendItem(m);
    }
    return found;
  }

  const std::vector<std::shared_ptr<FakePlaylist>>& playlists() const { return playlists_; }
  int new_playlists() const { return new_playlists_; }

 private:
  std::vector<std::shared_ptr<FakeMedia>> media_;
  std::vector<std::shared_ptr<FakePlaylist>> playlists_;
  int new_playlists_ = 0;
};

class FakeSyncList : public SyncListSource {
 public:
  std::vector<SyncListRow> rows;
  std::vector<SyncListRow> CheckedRows() override { return rows; }
};

class RecordingHost : public SyncHost {
 public:
  std::string root;
  FakeSyncList* sync_list = nullptr;
  std::vector<std::string> notices;  // "caption: text"
  int root_asks = 0;
  int stops = 0;
  int refreshes = 0;
  int wait_depth = 0;
  int waits = 0;

  std::string GetIPodRootDirectory() override {
    ++root_asks;
    return root;
  }
  void StopAutomaticSyncProcess() override { ++stops; }
  SyncListSource* GetSyncList() override { return sync_list; }
  void ShowNotice(const std::string& text, const std::string& caption) override {
    notices.push_back(caption + ": " + text);
  }
  void BeginWaitCursor() override {
    ++wait_depth;
    ++waits;
  }
  void EndWaitCursor() override { --wait_depth; }
  void RefreshContentsView() override { ++refreshes; }
};

// Records every call, in order, as text: "items 3", "status Initialising...", "step 20 %",
// "summary ...", "failure ...".
class RecordingProgress : public SyncProgress {
 public:
  std::vector<std::string> calls;
  std::vector<std::string> statuses;
  std::vector<int32_t> percents;
  ProgressModel model;
  bool summary_shown = false;
  SyncSummary summary;
  std::string failure;

  void SetItemCount(int32_t items) override {
    model.SetItemCount(items);
    calls.push_back("items " + std::to_string(items));
  }
  void SetStatus(const std::string& text) override {
    statuses.push_back(text);
    calls.push_back("status " + text);
  }
  void Step() override {
    percents.push_back(model.Step());
    calls.push_back("step " + ProgressModel::PercentText(percents.back()));
  }
  void ShowSummary(const SyncSummary& s) override {
    summary_shown = true;
    summary = s;
    calls.push_back("summary");
  }
  void ShowFailure(const std::string& text) override {
    failure = text;
    calls.push_back("failure " + text);
  }
};

class RecordingNotice : public MissingFileNotice {
 public:
  std::vector<std::string> shown;  // "caption: text"
  void Show(const std::string& text, const std::string& caption) override {
    shown.push_back(caption + ": " + text);
  }
};

}  // namespace testing
}  // namespace tunewell
