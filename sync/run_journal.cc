#include "sync/run_journal.h"

#include "platform/path.h"
#include "platform/replace_file.h"
#include "platform/text.h"

namespace tunewell {

namespace {

constexpr std::string_view kFirstLine = "Tunewell journal 1";
constexpr std::string_view kReplacing = "replacing";
constexpr std::string_view kAdd = "add ";
constexpr std::string_view kRemove = "remove ";

void AppendLocations(std::string_view prefix, const std::vector<std::u16string>& locations,
                     std::string* out) {
  for (const std::u16string& location : locations) {
    if (location.find_first_of(u"\r\n") != std::u16string::npos) continue;
    out->append(prefix).append(Utf16ToUtf8(location)).push_back('\n');
  }
}

}  // namespace

std::string JournalPath(std::string_view ipod_root) {
  return JoinPath(WithTrailingSeparator(ipod_root), {"iPod_Control", "iTunes", "Tunewell.journal"});
}

std::string EncodeJournal(const RunJournal& journal) {
  std::string out(kFirstLine);
  out.push_back('\n');
  if (journal.replacing) out.append(kReplacing).push_back('\n');
  AppendLocations(kAdd, journal.added, &out);
  AppendLocations(kRemove, journal.removed, &out);
  return out;
}

Status DecodeJournal(std::string_view text, RunJournal* journal) {
  RunJournal read;
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      return Status::Corruption("journal line " + std::to_string(number + 1) + " is cut short");
    }
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (number++ == 0) {
      if (line != kFirstLine) return Status::Corruption("not a Tunewell journal");
    } else if (line == kReplacing) {
      read.replacing = true;
    } else if (line.starts_with(kAdd)) {
      read.added.push_back(Utf8ToUtf16(line.substr(kAdd.size())));
    } else if (line.starts_with(kRemove)) {
      read.removed.push_back(Utf8ToUtf16(line.substr(kRemove.size())));
    } else {
      return Status::Corruption("journal line " + std::to_string(number) + " is not understood");
    }
  }
  if (number == 0) return Status::Corruption("the journal is empty");
  *journal = std::move(read);
  return Status::Ok();
}

Status WriteJournal(Env& env, std::string_view ipod_root, const RunJournal& journal) {
  return WriteFileSafely(env, JournalPath(ipod_root), EncodeJournal(journal));
}

Status ReadJournal(Env& env, std::string_view ipod_root, RunJournal* journal) {
  const std::string path = JournalPath(ipod_root);
  uint64_t size = 0;
  RETURN_IF_ERROR(env.FileSize(path, &size));
  std::string text;
  // The size is looked at again once read: the file may have grown in between.
  if (size <= kMaxJournalBytes) {
    RETURN_IF_ERROR(env.ReadFileStart(path, kMaxJournalBytes + 1, &text));
  }
  if (size > kMaxJournalBytes || text.size() > kMaxJournalBytes) {
    return Status::Corruption(path + ": larger than any journal");
  }
  return DecodeJournal(text, journal).Prefixed(path);
}

Status ClearJournal(Env& env, std::string_view ipod_root,
                    const std::vector<std::u16string>& leftovers) {
  if (!leftovers.empty()) return WriteJournal(env, ipod_root, {.added = {}, .removed = leftovers});
  const std::string path = JournalPath(ipod_root);
  const Status s = env.RemoveFile(path);
  if (s.IsNotFound()) return Status::Ok();
  RETURN_IF_ERROR(s);
  // A journal that comes back after a power loss would only be done again, harmlessly.
  env.SyncFolder(ParentOf(path)).IgnoreError();
  return Status::Ok();
}

}  // namespace tunewell
