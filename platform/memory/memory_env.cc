#include "platform/memory/memory_env.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <utility>

#include "platform/path.h"

namespace tunewell {

namespace {

bool IsSeparator(char c) { return c == '/' || c == kPathSeparator; }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

const char* OpName(MemoryEnv::Op op) {
  switch (op) {
    case MemoryEnv::Op::kReadFile:
      return "read";
    case MemoryEnv::Op::kProbeFile:
      return "probe";
    case MemoryEnv::Op::kFileSize:
      return "size";
    case MemoryEnv::Op::kListFolder:
      return "list";
    case MemoryEnv::Op::kFreeBytes:
      return "free space";
    case MemoryEnv::Op::kNewWritableFile:
      return "create";
    case MemoryEnv::Op::kAppend:
      return "write";
    case MemoryEnv::Op::kSync:
      return "sync";
    case MemoryEnv::Op::kCopy:
      return "copy";
    case MemoryEnv::Op::kRemove:
      return "remove";
    case MemoryEnv::Op::kRename:
      return "rename";
    case MemoryEnv::Op::kSyncFolder:
      return "folder sync";
    case MemoryEnv::Op::kSyncVolume:
      return "volume sync";
    case MemoryEnv::Op::kCreateFolder:
      return "create folder";
    case MemoryEnv::Op::kLock:
      return "lock";
    case MemoryEnv::Op::kKindOf:
      return "kind";
  }
  return "call";
}

Status InUse(const std::string& path) {
  return Status::Busy(path + ": in use by another open without sharing");
}

}  // namespace

// One file or folder. Roots are not nodes: they always exist.
struct MemoryEnv::Node {
  bool folder = false;
  std::string display;  // the full path as created, with kPathSeparator
  std::string data;
  uint64_t synced = 0;  // bytes that survive SimulateCrash
  bool hidden = false;
  uint64_t id = 0;       // changes whenever a new WritableFile takes the file over
  bool writing = false;  // a WritableFile has it open
};

// An armed fault.
struct MemoryEnv::Rule {
  Op op;
  std::string key;     // empty: any path
  int countdown = 0;   // 0: every call; otherwise the call that reaches 0 fails
  size_t flip_at = 0;  // GarbleNthAppend
};

// A path split into its root and its names.
struct MemoryEnv::Parsed {
  bool valid = false;
  std::string root_key;      // "/", "e:/" or "" (relative)
  std::string root_display;  // "/", "E:\" or ""
  std::vector<std::string> parts;
  std::vector<std::string> keys;  // parts as compared

  bool IsRoot() const { return parts.empty(); }
  std::string KeyOf(size_t count) const {
    std::string key = root_key;
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) key += '/';
      key += keys[i];
    }
    return key;
  }
  std::string Key() const { return KeyOf(keys.size()); }
  std::string ParentKey() const { return KeyOf(keys.size() - 1); }
  // Keys of the entries directly in the folder `key` start with this.
  static std::string ChildPrefix(const std::string& key, bool is_root) {
    return is_root ? key : key + '/';
  }
};

class MemoryEnv::File : public WritableFile {
 public:
  File(MemoryEnv* env, std::string key, std::string path, uint64_t id)
      : env_(env), key_(std::move(key)), path_(std::move(path)), id_(id) {}
  // A destructor has no one to tell; callers that care close first.
  ~File() override { Close().IgnoreError(); }

  Status Append(std::string_view data) override {
    if (closed_) return Status::IOError(path_ + ": write after close");
    return env_->Append(key_, path_, id_, data);
  }
  Status Sync() override {
    if (closed_) return Status::IOError(path_ + ": sync after close");
    return env_->Sync(key_, path_, id_);
  }
  Status Close() override {
    if (!closed_) {
      closed_ = true;
      env_->Close(key_, id_);
    }
    return Status::Ok();
  }

 private:
  MemoryEnv* env_;
  std::string key_;
  std::string path_;
  uint64_t id_;
  bool closed_ = false;
};

class MemoryEnv::Lock : public FileLock {
 public:
  Lock(MemoryEnv* env, std::string key, uint64_t token)
      : env_(env), key_(std::move(key)), token_(token) {}
  ~Lock() override { env_->Unlock(key_, token_); }

 private:
  MemoryEnv* env_;
  std::string key_;
  uint64_t token_;
};

MemoryEnv::MemoryEnv(Names names) : names_(names) {}
MemoryEnv::~MemoryEnv() = default;

// ---- Paths ----

MemoryEnv::Parsed MemoryEnv::Parse(std::string_view path) const {
  Parsed p;
  if (path.empty()) return p;
  p.valid = true;
  size_t i = 0;
  const bool drive = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                     (path.size() == 2 || IsSeparator(path[2]));
  if (drive) {
    p.root_key = {FoldAscii(path[0]), ':', '/'};
    p.root_display = {path[0], ':', kPathSeparator};
    i = 2;
  } else if (IsSeparator(path[0])) {
    p.root_key = "/";
    p.root_display = std::string(1, kPathSeparator);
  }
  while (i < path.size()) {
    while (i < path.size() && IsSeparator(path[i])) ++i;
    size_t end = i;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string_view part = path.substr(i, end - i);
    i = end;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!p.parts.empty()) {
        p.parts.pop_back();
        p.keys.pop_back();
      }
      continue;
    }
    std::string key(part);
    if (names_ == Names::kCaseInsensitive) {
      std::transform(key.begin(), key.end(), key.begin(), FoldAscii);
    }
    p.parts.emplace_back(part);
    p.keys.push_back(std::move(key));
  }
  return p;
}

MemoryEnv::Node* MemoryEnv::Find(const std::string& key) {
  auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : &it->second;
}

const MemoryEnv::Node* MemoryEnv::Find(const std::string& key) const {
  auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : &it->second;
}

bool MemoryEnv::IsFolder(const Parsed& p, size_t depth) const {
  if (depth == 0) return true;
  const Node* node = Find(p.KeyOf(depth));
  return node != nullptr && node->folder;
}

std::string MemoryEnv::DisplayOf(const Parsed& p) const {
  // Folders keep the names they were created with, whatever case `p` uses.
  std::string out = p.root_display;
  if (p.parts.size() > 1) {
    if (const Node* parent = Find(p.ParentKey())) {
      out = parent->display + kPathSeparator;
    } else {
      for (size_t i = 0; i + 1 < p.parts.size(); ++i) out += p.parts[i] + kPathSeparator;
    }
  }
  return p.IsRoot() ? out : out + p.parts.back();
}

Status MemoryEnv::CheckParent(const Parsed& p, const std::string& path) const {
  if (!IsFolder(p, p.parts.size() - 1)) {
    return Status::NotFound(path + ": the folder it belongs in does not exist");
  }
  return Status::Ok();
}

Status MemoryEnv::CheckOpenable(const Node& node, const std::string& key, const std::string& path,
                                bool share_read) const {
  if (node.writing) return InUse(path);
  auto hold = holds_.find(key);
  if (hold == holds_.end()) return Status::Ok();
  if (hold->second == Hold::kSharedRead && share_read) return Status::Ok();
  return Status::Busy(path + ": held open by another program");
}

Status MemoryEnv::Strike(Op op, std::initializer_list<std::string_view> keys,
                         const std::string& what) {
  ++calls_[op];
  if (calls_left_ && (*calls_left_)-- <= 0) {
    ++faults_fired_;
    return Status::IOError(what + ": the process has stopped");
  }
  bool fail = false;
  for (auto it = rules_.begin(); it != rules_.end();) {
    const bool matches = it->op == op && (it->key.empty() || std::find(keys.begin(), keys.end(),
                                                                       it->key) != keys.end());
    if (!matches) {
      ++it;
      continue;
    }
    if (it->countdown == 0) {
      fail = true;
      ++it;
    } else if (--it->countdown == 0) {
      fail = true;
      it = rules_.erase(it);
    } else {
      ++it;
    }
  }
  if (!fail) return Status::Ok();
  ++faults_fired_;
  return Status::IOError(what + ": injected failure of " + OpName(op));
}

uint64_t MemoryEnv::Room() const {
  if (!capacity_) return std::numeric_limits<uint64_t>::max();
  return used_ >= *capacity_ ? 0 : *capacity_ - used_;
}

MemoryEnv::Node& MemoryEnv::NewNode(const Parsed& p, bool folder) {
  Node node;
  node.folder = folder;
  node.display = DisplayOf(p);
  node.id = next_id_++;
  return nodes_[p.Key()] = std::move(node);
}

void MemoryEnv::Truncate(Node& node) {
  used_ -= node.data.size();
  node.data.clear();
  node.synced = 0;
}

void MemoryEnv::EraseTree(const std::string& key, bool is_root) {
  if (!is_root) {
    auto it = nodes_.find(key);
    if (it == nodes_.end()) return;
    const bool folder = it->second.folder;
    used_ -= it->second.data.size();
    nodes_.erase(it);
    if (!folder) return;
  }
  const std::string prefix = Parsed::ChildPrefix(key, is_root);
  for (auto it = nodes_.lower_bound(prefix);
       it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
    // A relative root's prefix is empty: keep the rooted paths out of it.
    if (prefix.empty() && (it->first[0] == '/' || it->first.find(":/") == 1)) {
      ++it;
      continue;
    }
    used_ -= it->second.data.size();
    it = nodes_.erase(it);
  }
}

// ---- Env ----

Status MemoryEnv::ReadFile(const std::string& path, std::string* contents) {
  std::lock_guard<std::mutex> guard(mutex_);
  contents->clear();
  const Parsed p = Parse(path);
  const std::string key = p.Key();
  RETURN_IF_ERROR(Strike(Op::kReadFile, {key}, path));
  const Node* node = p.valid ? Find(key) : nullptr;
  if (node == nullptr && !(p.valid && p.IsRoot())) return Status::NotFound(path + ": no such file");
  if (node == nullptr || node->folder) return Status::IOError(path + ": not a file");
  RETURN_IF_ERROR(CheckOpenable(*node, key, path, /*share_read=*/false));
  *contents = node->data;
  return Status::Ok();
}

Status MemoryEnv::ProbeFile(const std::string& path, bool share_read) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  const std::string key = p.Key();
  RETURN_IF_ERROR(Strike(Op::kProbeFile, {key}, path));
  const Node* node = p.valid ? Find(key) : nullptr;
  if (node == nullptr && !(p.valid && p.IsRoot())) return Status::NotFound(path + ": no such file");
  if (node == nullptr || node->folder) return Status::IOError(path + ": is a folder");
  return CheckOpenable(*node, key, path, share_read);
}

Status MemoryEnv::FileSize(const std::string& path, uint64_t* size) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  const std::string key = p.Key();
  RETURN_IF_ERROR(Strike(Op::kFileSize, {key}, path));
  const Node* node = p.valid ? Find(key) : nullptr;
  if (node == nullptr && !(p.valid && p.IsRoot())) return Status::NotFound(path + ": no such file");
  if (node == nullptr || node->folder) return Status::IOError(path + ": is a folder");
  *size = node->data.size();
  return Status::Ok();
}

PathKind MemoryEnv::KindOf(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  if (!p.valid) return PathKind::kNone;
  if (p.IsRoot()) return PathKind::kFolder;
  for (const Rule& rule : rules_) {
    if (rule.op == Op::kKindOf && (rule.key.empty() || rule.key == p.Key()))
      return PathKind::kOther;
  }
  const Node* node = Find(p.Key());
  if (node == nullptr) return PathKind::kNone;
  return node->folder ? PathKind::kFolder : PathKind::kFile;
}

Status MemoryEnv::Identify(const std::string& path, FileIdentity* identity) {
  const PathKind kind = KindOf(path);
  if (kind == PathKind::kNone) return Status::NotFound(path + ": no such file or folder");
  std::lock_guard<std::mutex> guard(mutex_);
  *identity = FileIdentity{kind, 0, std::hash<std::string>{}(Parse(path).Key())};
  return Status::Ok();
}

Status MemoryEnv::ListFolder(const std::string& path, std::vector<FolderEntry>* entries) {
  std::lock_guard<std::mutex> guard(mutex_);
  entries->clear();
  const Parsed p = Parse(path);
  const std::string key = p.Key();
  RETURN_IF_ERROR(Strike(Op::kListFolder, {key}, path));
  if (!p.valid || !IsFolder(p, p.parts.size())) return Status::NotFound(path + ": no such folder");
  const std::string prefix = Parsed::ChildPrefix(key, p.IsRoot());
  for (auto it = nodes_.lower_bound(prefix);
       it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
    if (it->first.find('/', prefix.size()) != std::string::npos) continue;
    const std::string& display = it->second.display;
    size_t start = display.size();
    while (start > 0 && !IsSeparator(display[start - 1])) --start;
    entries->push_back(FolderEntry{display.substr(start), it->second.folder});
  }
  return Status::Ok();
}

Status MemoryEnv::FreeBytes(const std::string& path, uint64_t* bytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  const std::string key = p.Key();
  RETURN_IF_ERROR(Strike(Op::kFreeBytes, {key}, path));
  if (!p.valid || (!p.IsRoot() && Find(key) == nullptr)) {
    return Status::NotFound(path + ": no such file or folder");
  }
  if (free_answer_) {
    *bytes = *free_answer_;
  } else if (capacity_) {
    *bytes = Room();
  } else {
    *bytes = used_ >= kDefaultFreeBytes ? 0 : kDefaultFreeBytes - used_;
  }
  return Status::Ok();
}

Status MemoryEnv::NewWritableFile(const std::string& path, bool hidden,
                                  std::unique_ptr<WritableFile>* file) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  const std::string key = p.Key();
  RETURN_IF_ERROR(Strike(Op::kNewWritableFile, {key}, path));
  if (!p.valid) return Status::NotFound("empty path");
  if (p.IsRoot()) return Status::IOError(path + ": is a folder");
  Node* node = Find(key);
  if (node == nullptr) {
    RETURN_IF_ERROR(CheckParent(p, path));
    node = &NewNode(p, /*folder=*/false);
  } else {
    if (node->folder) return Status::IOError(path + ": is a folder");
    RETURN_IF_ERROR(CheckOpenable(*node, key, path, /*share_read=*/false));
    Truncate(*node);
    node->id = next_id_++;
  }
  node->hidden = hidden;
  node->writing = true;
  ++open_files_;
  *file = std::make_unique<File>(this, key, path, node->id);
  return Status::Ok();
}

Status MemoryEnv::CopyFileTo(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed pf = Parse(from);
  const Parsed pt = Parse(to);
  const std::string from_key = pf.Key();
  const std::string to_key = pt.Key();
  RETURN_IF_ERROR(Strike(Op::kCopy, {from_key, to_key}, from + " -> " + to));
  std::optional<uint64_t> limit;
  for (auto it = copy_limits_.begin(); it != copy_limits_.end();) {
    if (--it->first == 0) {
      if (!limit) ++faults_fired_;
      limit = limit ? std::min(*limit, it->second) : it->second;
      it = copy_limits_.erase(it);
    } else {
      ++it;
    }
  }

  const Node* source = pf.valid ? Find(from_key) : nullptr;
  if (source == nullptr && !(pf.valid && pf.IsRoot())) {
    return Status::NotFound(from + ": no such file");
  }
  if (source == nullptr || source->folder) return Status::IOError(from + ": is a folder");
  RETURN_IF_ERROR(CheckOpenable(*source, from_key, from, /*share_read=*/true));
  if (!pt.valid) return Status::NotFound("empty path");
  if (pt.IsRoot()) return Status::IOError(to + ": is a folder");
  // The source is open for reading, so the target cannot be opened without sharing.
  if (to_key == from_key) return InUse(to);
  Node* target = Find(to_key);
  if (target == nullptr) {
    RETURN_IF_ERROR(CheckParent(pt, to));
    target = &NewNode(pt, /*folder=*/false);
  } else {
    if (target->folder) return Status::IOError(to + ": is a folder");
    RETURN_IF_ERROR(CheckOpenable(*target, to_key, to, /*share_read=*/false));
    Truncate(*target);
  }
  target->hidden = false;  // a copy is a plain file

  const uint64_t size = source->data.size();
  const uint64_t wanted = limit ? std::min(size, *limit) : size;
  const uint64_t written = std::min(wanted, Room());
  target->data.assign(source->data, 0, written);
  used_ += written;
  if (written < wanted) {
    return Status::NoSpace(to + ": no room after " + std::to_string(written) + " of " +
                           std::to_string(size) + " bytes");
  }
  if (limit) {
    return Status::IOError(to + ": injected failure of copy after " + std::to_string(written) +
                           " of " + std::to_string(size) + " bytes");
  }
  return Status::Ok();
}

Status MemoryEnv::RemoveFile(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  const std::string key = p.Key();
  RETURN_IF_ERROR(Strike(Op::kRemove, {key}, path));
  Node* node = p.valid ? Find(key) : nullptr;
  if (node == nullptr && !(p.valid && p.IsRoot())) return Status::NotFound(path + ": no such file");
  if (node == nullptr || node->folder) return Status::IOError(path + ": is a folder");
  RETURN_IF_ERROR(CheckOpenable(*node, key, path, /*share_read=*/false));
  used_ -= node->data.size();
  nodes_.erase(key);
  return Status::Ok();
}

Status MemoryEnv::RenameFile(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed pf = Parse(from);
  const Parsed pt = Parse(to);
  const std::string from_key = pf.Key();
  const std::string to_key = pt.Key();
  const std::string both = from + " -> " + to;
  RETURN_IF_ERROR(Strike(Op::kRename, {from_key, to_key}, both));
  Node* source = pf.valid && !pf.IsRoot() ? Find(from_key) : nullptr;
  if (source == nullptr) return Status::NotFound(both + ": no such file");
  if (!pt.valid) return Status::NotFound(both + ": empty target");
  if (pt.IsRoot()) return Status::IOError(both + ": the target is a folder");
  RETURN_IF_ERROR(CheckParent(pt, both));
  if (to_key == from_key) {
    // Only the case of the name can change.
    if (!source->folder) RETURN_IF_ERROR(CheckOpenable(*source, from_key, from, false));
    const std::string old_display = source->display;
    const std::string new_display = DisplayOf(pt);
    source->display = new_display;
    if (source->folder) {
      const std::string prefix = from_key + '/';
      for (auto it = nodes_.lower_bound(prefix);
           it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        it->second.display = new_display + it->second.display.substr(old_display.size());
      }
    }
    return Status::Ok();
  }

  if (!source->folder) {
    RETURN_IF_ERROR(CheckOpenable(*source, from_key, from, /*share_read=*/false));
    Node* target = Find(to_key);
    if (target != nullptr) {
      if (target->folder) return Status::IOError(both + ": the target is a folder");
      RETURN_IF_ERROR(CheckOpenable(*target, to_key, to, /*share_read=*/false));
    }
    Node moved = std::move(*source);
    nodes_.erase(from_key);
    if (target != nullptr) EraseTree(to_key, /*is_root=*/false);
    moved.display = DisplayOf(pt);
    nodes_[to_key] = std::move(moved);
    return Status::Ok();
  }

  // A folder moves with everything in it, onto a free name only.
  if (Find(to_key) != nullptr) return Status::IOError(both + ": the target exists");
  const std::string prefix = from_key + '/';
  if (to_key.compare(0, prefix.size(), prefix) == 0) {
    return Status::InvalidArgument(both + ": a folder cannot move into itself");
  }
  std::vector<std::string> keys = {from_key};
  for (auto it = nodes_.lower_bound(prefix);
       it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
    if (!it->second.folder) {
      RETURN_IF_ERROR(CheckOpenable(it->second, it->first, it->second.display, false));
    }
    keys.push_back(it->first);
  }
  const std::string old_display = source->display;
  const std::string new_display = DisplayOf(pt);
  for (const std::string& key : keys) {
    Node moved = std::move(nodes_[key]);
    nodes_.erase(key);
    moved.display = new_display + moved.display.substr(old_display.size());
    nodes_[to_key + key.substr(from_key.size())] = std::move(moved);
  }
  return Status::Ok();
}

Status MemoryEnv::ExchangeFiles(const std::string& a, const std::string& b) {
  if (names_ == Names::kCaseInsensitive) return Env::ExchangeFiles(a, b);
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed pa = Parse(a);
  const Parsed pb = Parse(b);
  const std::string a_key = pa.Key();
  const std::string b_key = pb.Key();
  const std::string both = a + " <-> " + b;
  RETURN_IF_ERROR(Strike(Op::kRename, {a_key, b_key}, both));
  Node* x = pa.valid && !pa.IsRoot() ? Find(a_key) : nullptr;
  Node* y = pb.valid && !pb.IsRoot() ? Find(b_key) : nullptr;
  if (x == nullptr || y == nullptr) return Status::NotFound(both + ": no such file");
  if (x->folder || y->folder) return Status::IOError(both + ": not a file");
  if (x == y) return Status::Ok();
  RETURN_IF_ERROR(CheckOpenable(*x, a_key, a, /*share_read=*/false));
  RETURN_IF_ERROR(CheckOpenable(*y, b_key, b, /*share_read=*/false));
  std::swap(*x, *y);
  std::swap(x->display, y->display);
  return Status::Ok();
}

Status MemoryEnv::SyncFolder(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path.empty() ? "." : path);
  const std::string key = p.Key();
  RETURN_IF_ERROR(Strike(Op::kSyncFolder, {key}, path));
  if (!IsFolder(p, p.parts.size())) return Status::NotFound(path + ": no such folder");
  return Status::Ok();
}

Status MemoryEnv::SyncVolume(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path.empty() ? "." : path);
  RETURN_IF_ERROR(Strike(Op::kSyncVolume, {p.Key()}, path));
  if (!IsFolder(p, p.parts.size())) return Status::NotFound(path + ": no such folder");
  for (auto& [key, node] : nodes_) {
    if (!node.folder) node.synced = node.data.size();
  }
  return Status::Ok();
}

Status MemoryEnv::CreateFolder(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  const std::string key = p.Key();
  RETURN_IF_ERROR(Strike(Op::kCreateFolder, {key}, path));
  if (!p.valid) return Status::NotFound("empty path");
  if (p.IsRoot()) return Status::Ok();
  if (const Node* node = Find(key)) {
    if (node->folder) return Status::Ok();
    return Status::IOError(path + ": a file of that name exists");
  }
  RETURN_IF_ERROR(CheckParent(p, path));
  NewNode(p, /*folder=*/true);
  return Status::Ok();
}

Status MemoryEnv::LockFile(const std::string& path, std::unique_ptr<FileLock>* lock,
                           const LockWait& wait) {
  std::unique_lock<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  const std::string key = p.Key();
  RETURN_IF_ERROR(Strike(Op::kLock, {key}, path));
  if (!p.valid) return Status::NotFound("empty path");
  if (p.IsRoot()) return Status::IOError(path + ": is a folder");
  if (const Node* node = Find(key)) {
    if (node->folder) return Status::IOError(path + ": is a folder");
  } else {
    RETURN_IF_ERROR(CheckParent(p, path));
    NewNode(p, /*folder=*/false);
  }
  // The env's own state is free to others while this waits for the holder.
  guard.unlock();
  uint64_t token = 0;
  RETURN_IF_ERROR(locks_.Acquire(key, wait, &token));
  *lock = std::make_unique<Lock>(this, key, token);
  return Status::Ok();
}

uint64_t MemoryEnv::NowSeconds() {
  std::lock_guard<std::mutex> guard(mutex_);
  return now_;
}

Status MemoryEnv::ListMounts(std::vector<std::string>* roots) {
  std::lock_guard<std::mutex> guard(mutex_);
  *roots = mounts_;
  return Status::Ok();
}

void MemoryEnv::SetMounts(std::vector<std::string> roots) {
  std::lock_guard<std::mutex> guard(mutex_);
  mounts_ = std::move(roots);
}

// ---- What the handed-out files and locks call ----

Status MemoryEnv::Append(const std::string& key, const std::string& path, uint64_t id,
                         std::string_view data) {
  std::lock_guard<std::mutex> guard(mutex_);
  RETURN_IF_ERROR(Strike(Op::kAppend, {key}, path));
  Node* node = Find(key);
  if (node == nullptr || node->id != id) return Status::IOError(path + ": the file is gone");
  if (data.size() > Room()) {
    return Status::NoSpace(path + ": no room for " + std::to_string(data.size()) + " bytes");
  }
  std::string kept(data);
  for (auto it = garbles_.begin(); it != garbles_.end();) {
    if ((!it->key.empty() && it->key != key) || --it->countdown > 0) {
      ++it;
      continue;
    }
    if (it->flip_at < kept.size()) {
      kept[it->flip_at] = static_cast<char>(~kept[it->flip_at]);
    } else if (!kept.empty()) {
      kept.pop_back();
    }
    ++faults_fired_;
    it = garbles_.erase(it);
  }
  node->data.append(kept);
  used_ += kept.size();
  return Status::Ok();
}

Status MemoryEnv::Sync(const std::string& key, const std::string& path, uint64_t id) {
  std::lock_guard<std::mutex> guard(mutex_);
  RETURN_IF_ERROR(Strike(Op::kSync, {key}, path));
  Node* node = Find(key);
  if (node == nullptr || node->id != id) return Status::IOError(path + ": the file is gone");
  node->synced = node->data.size();
  return Status::Ok();
}

void MemoryEnv::Close(const std::string& key, uint64_t id) {
  std::lock_guard<std::mutex> guard(mutex_);
  --open_files_;
  Node* node = Find(key);
  if (node != nullptr && node->id == id) node->writing = false;
}

void MemoryEnv::Unlock(const std::string& key, uint64_t token) { locks_.Release(key, token); }

// ---- Setting up ----

Status MemoryEnv::AddFolders(const Parsed& p, size_t depth) {
  for (size_t i = 1; i <= depth; ++i) {
    const std::string key = p.KeyOf(i);
    const Node* node = Find(key);
    if (node != nullptr && !node->folder) {
      return Status::InvalidArgument(node->display + ": a file stands where a folder must be");
    }
    if (node == nullptr) {
      Parsed prefix = p;
      prefix.parts.resize(i);
      prefix.keys.resize(i);
      NewNode(prefix, /*folder=*/true);
    }
  }
  return Status::Ok();
}

Status MemoryEnv::AddFile(const std::string& path, std::string_view contents) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  if (!p.valid || p.IsRoot()) return Status::InvalidArgument(path + ": not a file path");
  RETURN_IF_ERROR(AddFolders(p, p.parts.size() - 1));
  Node* node = Find(p.Key());
  if (node != nullptr && node->folder) return Status::InvalidArgument(path + ": is a folder");
  if (node == nullptr) node = &NewNode(p, /*folder=*/false);
  Truncate(*node);
  node->data.assign(contents);
  node->synced = contents.size();
  used_ += contents.size();
  return Status::Ok();
}

Status MemoryEnv::AddFolder(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  if (!p.valid) return Status::InvalidArgument("empty path");
  return AddFolders(p, p.parts.size());
}

void MemoryEnv::Erase(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  if (p.valid) EraseTree(p.Key(), p.IsRoot());
}

void MemoryEnv::Restore(const Snapshot& snapshot) {
  // Whatever the snapshot lacks goes first, a path that changed kind included.
  const Snapshot now = TakeSnapshot();
  for (const std::string& folder : now.folders) {
    if (!snapshot.folders.contains(folder)) Erase(folder);
  }
  for (const auto& [path, bytes] : now.files) {
    if (!snapshot.files.contains(path)) Erase(path);
  }
  for (const std::string& folder : snapshot.folders) AddFolder(folder).IgnoreError();
  for (const auto& [path, bytes] : snapshot.files) AddFile(path, bytes).IgnoreError();
}

void MemoryEnv::SetNow(uint64_t seconds) {
  std::lock_guard<std::mutex> guard(mutex_);
  now_ = seconds;
}

// ---- Looking ----

std::optional<std::string> MemoryEnv::Contents(const std::string& path) const {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  const Node* node = p.valid ? Find(p.Key()) : nullptr;
  if (node == nullptr || node->folder) return std::nullopt;
  return node->data;
}

bool MemoryEnv::Exists(const std::string& path) const {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  return p.valid && (p.IsRoot() || Find(p.Key()) != nullptr);
}

bool MemoryEnv::IsHidden(const std::string& path) const {
  std::lock_guard<std::mutex> guard(mutex_);
  const Parsed p = Parse(path);
  const Node* node = p.valid ? Find(p.Key()) : nullptr;
  return node != nullptr && node->hidden;
}

std::vector<std::string> MemoryEnv::Paths() const {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<std::string> out;
  out.reserve(nodes_.size());
  for (const auto& [key, node] : nodes_) out.push_back(node.display);
  std::sort(out.begin(), out.end());
  return out;
}

MemoryEnv::Snapshot MemoryEnv::TakeSnapshot() const {
  std::lock_guard<std::mutex> guard(mutex_);
  Snapshot snapshot;
  for (const auto& [key, node] : nodes_) {
    if (node.folder) {
      snapshot.folders.insert(node.display);
    } else {
      snapshot.files[node.display] = node.data;
    }
  }
  return snapshot;
}

uint64_t MemoryEnv::UsedBytes() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return used_;
}

int MemoryEnv::OpenFileCount() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return open_files_;
}

int MemoryEnv::Calls(Op op) const {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = calls_.find(op);
  return it == calls_.end() ? 0 : it->second;
}

int MemoryEnv::FaultsFired() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return faults_fired_;
}

void MemoryEnv::ResetCounts() {
  std::lock_guard<std::mutex> guard(mutex_);
  calls_.clear();
  faults_fired_ = 0;
}

// ---- Faults ----

void MemoryEnv::Fail(Op op, std::string_view path) {
  std::lock_guard<std::mutex> guard(mutex_);
  rules_.push_back(Rule{op, path.empty() ? std::string() : Parse(path).Key(), 0});
}

void MemoryEnv::FailNth(Op op, int n, std::string_view path) {
  if (n <= 0) return;
  std::lock_guard<std::mutex> guard(mutex_);
  rules_.push_back(Rule{op, path.empty() ? std::string() : Parse(path).Key(), n});
}

void MemoryEnv::FailCopyAfter(uint64_t bytes, int nth) {
  if (nth <= 0) return;
  std::lock_guard<std::mutex> guard(mutex_);
  copy_limits_.emplace_back(nth, bytes);
}

void MemoryEnv::GarbleNthAppend(int n, size_t flip_at, std::string_view path) {
  if (n <= 0) return;
  std::lock_guard<std::mutex> guard(mutex_);
  garbles_.push_back(
      Rule{Op::kAppend, path.empty() ? std::string() : Parse(path).Key(), n, flip_at});
}

void MemoryEnv::StopAfter(int calls) {
  std::lock_guard<std::mutex> guard(mutex_);
  calls_left_ = calls;
}

void MemoryEnv::ClearFaults(Op op) {
  std::lock_guard<std::mutex> guard(mutex_);
  std::erase_if(rules_, [op](const Rule& rule) { return rule.op == op; });
  if (op == Op::kCopy) copy_limits_.clear();
}

void MemoryEnv::ClearAllFaults() {
  std::lock_guard<std::mutex> guard(mutex_);
  rules_.clear();
  copy_limits_.clear();
  garbles_.clear();
  calls_left_.reset();
}

void MemoryEnv::Toggle(Op op, bool on) {
  if (on) {
    Fail(op);
  } else {
    ClearFaults(op);
  }
}

// ---- Room ----

void MemoryEnv::SetCapacity(std::optional<uint64_t> bytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  capacity_ = bytes;
}

void MemoryEnv::SetFreeBytes(std::optional<uint64_t> bytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  free_answer_ = bytes;
}

// ---- Other programs ----

void MemoryEnv::HoldExclusive(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  holds_[Parse(path).Key()] = Hold::kExclusive;
}

void MemoryEnv::HoldSharedRead(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  holds_[Parse(path).Key()] = Hold::kSharedRead;
}

void MemoryEnv::Release(const std::string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  holds_.erase(Parse(path).Key());
}

// ---- Power loss ----

void MemoryEnv::SimulateCrash() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    for (auto& [key, node] : nodes_) {
      if (node.folder) continue;
      if (node.data.size() > node.synced) {
        used_ -= node.data.size() - node.synced;
        node.data.resize(node.synced);
      }
      if (node.writing) {
        node.writing = false;
        node.id = next_id_++;
      }
    }
  }
  locks_.ReleaseAll();
}

void PrintTo(const MemoryEnv::Snapshot& snapshot, std::ostream* os) {
  *os << "{";
  for (const std::string& folder : snapshot.folders) *os << "\n  " << folder << " (folder)";
  for (const auto& [path, data] : snapshot.files) {
    *os << "\n  " << path << " (" << data.size() << " bytes)";
  }
  *os << "\n}";
}

}  // namespace tunewell
