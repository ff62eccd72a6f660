#include "platform/replace_file.h"

#include "platform/path.h"

namespace tunewell {

namespace {

Status WriteAndSync(Env& env, const std::string& path, std::string_view contents) {
  std::unique_ptr<WritableFile> file;
  RETURN_IF_ERROR(env.NewWritableFile(path, /*hidden=*/false, &file));
  Status s = file->Append(contents);
  if (s.ok()) s = file->Sync();
  const Status closed = file->Close();
  return s.ok() ? closed : s;
}

// Keeps the previous file as `backup`, by way of a temporary copy so that a failed copy never
// leaves a half-written backup in its place.
void KeepBackup(Env& env, const std::string& path, const std::string& backup) {
  const std::string temp = backup + ".tmp";
  if (env.CopyFileTo(path, temp).ok() && env.RenameFile(temp, backup).ok()) return;
  env.RemoveFile(temp);
}

}  // namespace

Status ReplaceFileSafely(Env& env, const std::string& path, std::string_view contents,
                         const ContentCheck& check, const std::string& backup_path) {
  const std::string temp = path + ".tmp";
  Status s = WriteAndSync(env, temp, contents);
  if (s.ok()) {
    std::string written;
    s = env.ReadFile(temp, &written);
    if (s.ok() && written != contents) {
      s = Status::IOError(temp + ": the file read back differs from what was written");
    }
    if (s.ok() && check) s = check(written);
  }
  if (s.ok() && !backup_path.empty() && env.KindOf(path) == PathKind::kFile) {
    KeepBackup(env, path, backup_path);
  }
  if (s.ok()) s = env.RenameFile(temp, path);
  if (!s.ok()) {
    env.RemoveFile(temp);
    return s.Prefixed(path + " was left unchanged");
  }
  // The new file is in place; a folder that cannot be synced only weakens durability.
  env.SyncFolder(ParentOf(path));
  return Status::Ok();
}

}  // namespace tunewell
