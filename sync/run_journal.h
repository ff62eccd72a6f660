#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace tunewell {

// What a run that changes an iPod is about to do, kept in iPod_Control/iTunes until the run
// ends cleanly, so that the run after a crash, a kill or a pulled cable can finish or undo it.
struct RunJournal {
  // Music files a sync puts onto the iPod, each recorded before its copy starts.
  std::vector<std::u16string> added;
  // Music files a removal deletes once its databases are written.
  std::vector<std::u16string> removed;
  // iTunesDB and iTunesSD are being replaced.
  bool replacing = false;

  bool operator==(const RunJournal&) const = default;
};

std::string JournalPath(std::string_view ipod_root);

// Text, one line each: a first line naming the layout, "replacing", "add <location>",
// "remove <location>" (UTF-8). Locations holding a line break are left out: no music file
// has one.
std::string EncodeJournal(const RunJournal& journal);
// Corruption, saying which line, for text that is not a journal.
Status DecodeJournal(std::string_view text, RunJournal* journal);

// Replaces the iPod's journal by `journal`, safely.
Status WriteJournal(Env& env, std::string_view ipod_root, const RunJournal& journal);
// NotFound when the iPod has none; Corruption, unread, when it is larger than kMaxJournalBytes.
Status ReadJournal(Env& env, std::string_view ipod_root, RunJournal* journal);
// Ok when there was none. With `leftovers`, a journal naming only those audio files to delete
// takes its place, for the next run to try again.
Status ClearJournal(Env& env, std::string_view ipod_root,
                    const std::vector<std::u16string>& leftovers = {});

// Larger than any journal a run writes: one that is larger is damage, dropped unread.
inline constexpr uint64_t kMaxJournalBytes = uint64_t{64} << 20;

}  // namespace tunewell
