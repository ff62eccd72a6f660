#include "sync/auto_sync_file.h"

#include <algorithm>

#include "platform/path.h"
#include "platform/replace_file.h"

namespace tunewell {

namespace {

// A name as the file can hold it: no zero byte, at most kMaxAutoSyncNameBytes.
std::string_view Storable(std::string_view name) {
  name = name.substr(0, std::min(name.find('\0'), name.size()));
  return name.substr(0, std::min(name.size(), kMaxAutoSyncNameBytes));
}

}  // namespace

std::string AutoSyncFile::PathFor(std::string_view ipod_root) {
  return JoinPath(WithTrailingSeparator(ipod_root), {kAutoSyncFileName});
}

AutoSyncFile::ReadResult AutoSyncFile::Read(const std::string& ipod_root) {
  data_.clear();
  if (!env_->ReadFile(PathFor(ipod_root), &data_).ok()) {
    data_.clear();
    return ReadResult::kAbsent;
  }
  return data_.empty() ? ReadResult::kEmpty : ReadResult::kNames;
}

int AutoSyncFile::CountNames() const {
  return static_cast<int>(std::count(data_.begin(), data_.end(), '\0'));
}

bool AutoSyncFile::NextName(std::string* name, size_t* cursor) const {
  if (*cursor >= data_.size()) return false;
  const size_t end = data_.find('\0', *cursor);
  if (end == std::string::npos) return false;
  const size_t length = end - *cursor;
  name->assign(data_, *cursor, std::min(length, kMaxAutoSyncNameBytes));
  size_t next = end + 1;
  if (next < data_.size() && data_[next] == '\n') ++next;
  *cursor = next;
  return true;
}

std::vector<std::string> AutoSyncFile::Names() const {
  std::vector<std::string> names;
  std::string name;
  size_t cursor = 0;
  while (NextName(&name, &cursor)) names.push_back(name);
  return names;
}

void AutoSyncFile::Create(const std::string& ipod_root) {
  writing_ = true;
  write_path_ = PathFor(ipod_root);
  pending_.clear();
}

void AutoSyncFile::WriteName(std::string_view name) {
  if (!writing_) return;
  pending_ += Storable(name);
  pending_ += '\0';
  pending_ += '\n';
}

Status AutoSyncFile::Close() {
  if (!writing_) return Status::Ok();
  writing_ = false;
  const Status s =
      WriteFileSafely(*env_, write_path_, pending_, {.hidden = true, .read_back = false});
  pending_.clear();
  return s;
}

Status AutoSyncFile::Delete(const std::string& ipod_root) {
  const Status s = env_->RemoveFile(PathFor(ipod_root));
  return s.IsNotFound() ? Status::Ok() : s;
}

Status WriteAutoSyncSelection(Env& env, const std::string& ipod_root,
                              const std::vector<std::string>& names) {
  AutoSyncFile file(env);
  file.Create(ipod_root);
  for (const std::string& name : names) file.WriteName(name);
  return file.Close();
}

}  // namespace tunewell
