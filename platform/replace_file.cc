#include "platform/replace_file.h"

#include <utility>

#include "platform/path.h"

namespace tunewell {

namespace {

Status WriteAndSync(Env& env, const std::string& path, std::string_view contents, bool hidden) {
  std::unique_ptr<WritableFile> file;
  RETURN_IF_ERROR(env.NewWritableFile(path, hidden, &file));
  Status s = file->Append(contents);
  if (s.ok()) s = file->Sync();
  const Status closed = file->Close();
  return s.ok() ? closed : s;
}

// The current file copied beside its backup, to take the backup's place only once the new
// version is in. Empty when no copy could be made (a full volume): the old backup then stays.
std::string CopyForBackup(Env& env, const std::string& path, const std::string& backup) {
  const std::string temp = backup + ".tmp";
  if (env.CopyFileTo(path, temp).ok()) return temp;
  // A leftover that cannot be removed is replaced by the next attempt.
  env.RemoveFile(temp).IgnoreError();
  return "";
}

}  // namespace

StagedFile::StagedFile(StagedFile&& other) noexcept
    : env_(std::exchange(other.env_, nullptr)),
      path_(std::move(other.path_)),
      temp_(std::move(other.temp_)) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
  if (this != &other) {
    Discard();
    env_ = std::exchange(other.env_, nullptr);
    path_ = std::move(other.path_);
    temp_ = std::move(other.temp_);
  }
  return *this;
}

StagedFile::~StagedFile() { Discard(); }

void StagedFile::Discard() {
  // Best effort: the staged file never replaced anything, and a later stage overwrites it.
  if (env_ != nullptr) env_->RemoveFile(temp_).IgnoreError();
  env_ = nullptr;
}

Status StagedFile::Stage(Env& env, const std::string& path, std::string_view contents,
                         const ContentCheck& check, StagedFile* staged) {
  return Stage(env, path, contents, check, StageOptions(), staged);
}

Status StagedFile::Stage(Env& env, const std::string& path, std::string_view contents,
                         const ContentCheck& check, const StageOptions& options,
                         StagedFile* staged) {
  StagedFile file;
  file.env_ = &env;
  file.path_ = path;
  file.temp_ = path + ".tmp";
  Status s = WriteAndSync(env, file.temp_, contents, options.hidden);
  if (s.ok() && options.read_back) {
    bool equal = false;
    s = env.FileEquals(file.temp_, contents, &equal);
    if (s.ok() && !equal) {
      s = Status::IOError(file.temp_ + ": the file read back differs from what was written");
    }
  }
  // The bytes on the device are these, so checking them checks the file.
  if (s.ok() && check) s = check(contents);
  if (!s.ok()) return s.Prefixed(path + " was left unchanged");
  *staged = std::move(file);
  return Status::Ok();
}

Status StagedFile::Commit(const std::string& backup_path) {
  if (env_ == nullptr) return Status::InvalidArgument("nothing staged");
  std::string backup_copy;
  if (!backup_path.empty() && env_->KindOf(path_) == PathKind::kFile) {
    // Swapping the names puts the new file in place and keeps the old one without writing it a
    // second time; where names cannot be swapped the old file is copied first.
    Status s = env_->ExchangeFiles(temp_, path_);
    if (s.ok()) {
      // A backup that cannot be made is skipped; the old file must not linger as a stage.
      if (!env_->RenameFile(temp_, backup_path).ok()) env_->RemoveFile(temp_).IgnoreError();
      // Nor a copy of one that an earlier run left unfinished.
      env_->RemoveFile(backup_path + ".tmp").IgnoreError();
      return Finish();
    }
    if (!s.IsRefused()) {
      Discard();
      return s.Prefixed(path_ + " was left unchanged");
    }
    backup_copy = CopyForBackup(*env_, path_, backup_path);
  }
  Status s = env_->RenameFile(temp_, path_);
  if (!s.ok()) {
    // A backup is replaced only by a save that succeeded.
    if (!backup_copy.empty()) env_->RemoveFile(backup_copy).IgnoreError();
    Discard();
    return s.Prefixed(path_ + " was left unchanged");
  }
  // The new file is in place; a backup that cannot follow only keeps the older one.
  if (!backup_copy.empty() && !env_->RenameFile(backup_copy, backup_path).ok()) {
    env_->RemoveFile(backup_copy).IgnoreError();
  }
  return Finish();
}

Status StagedFile::Finish() {
  // A folder that cannot be synced only weakens durability.
  env_->SyncFolder(ParentOf(path_)).IgnoreError();
  env_ = nullptr;
  return Status::Ok();
}

Status ReplaceFileSafely(Env& env, const std::string& path, std::string_view contents,
                         const ContentCheck& check, const std::string& backup_path) {
  StagedFile staged;
  RETURN_IF_ERROR(StagedFile::Stage(env, path, contents, check, &staged));
  return staged.Commit(backup_path);
}

Status WriteFileSafely(Env& env, const std::string& path, std::string_view contents,
                       const StageOptions& options) {
  StagedFile staged;
  RETURN_IF_ERROR(StagedFile::Stage(env, path, contents, nullptr, options, &staged));
  return staged.Commit("");
}

}  // namespace tunewell
