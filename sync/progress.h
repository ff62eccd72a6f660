#pragma once

// What a sync run shows while it works, and the arithmetic and texts behind it. The plug-in's
// dialog, the command line's bar and the tests' recorder all share ProgressModel and
// SummaryLines, so that a percentage or a summary reads the same everywhere.

#include <array>
#include <cstdint>
#include <string>

namespace tunewell {

inline constexpr char kInitialisingStatus[] = "Initialising...";
inline constexpr char kCopyingStatusPrefix[] = "Copying... ";
inline constexpr char kArtistTitleSeparator[] = " - ";
inline constexpr char kUpdatingDatabaseStatus[] = "Updating iPod database files.";

// The counts a run ends with.
struct SyncSummary {
  // Tracks left to copy once those already on the iPod and those whose source was missing
  // are taken away.
  int32_t remaining = 0;
  // Tracks already on the iPod.
  int32_t existing = 0;
  int32_t copied = 0;
  // Items passed over because they are not MP3s.
  int32_t notMp3 = 0;
  // Copying stopped for another reason than room (a failed copy, no music folder left), so the
  // tracks left behind are not put down to a full iPod.
  bool copyFailed = false;

  bool operator==(const SyncSummary&) const = default;
};

// The four summary lines, in the order they stand in the dialog.
enum class SummaryLineId { kCopied = 0, kExisting = 1, kNoRoom = 2, kNotMp3 = 3 };

struct SummaryLine {
  SummaryLineId id = SummaryLineId::kCopied;
  bool visible = false;
  std::string text;
};

// The copied and already-on-iPod lines are always shown (a zero is news too); the no-room line
// only when some remaining tracks were not copied (saying copying failed, when it did); the not-MP3
// line only when there were such items. Counts are printed as they are, with the plural noun also
// for 1.
std::array<SummaryLine, 4> SummaryLines(const SyncSummary& summary);

// The bar of one run: a scale of item count + 2 steps (one for getting ready, one per item, one
// for the database update).
class ProgressModel {
 public:
  // Starts a new scale; the position goes back to 0.
  void SetItemCount(int32_t items);
  // Advances one step; returns the new percentage.
  int32_t Step();

  int32_t position() const { return position_; }
  int32_t scale() const { return scale_; }
  // position / scale * 100, truncated; 0 before the first SetItemCount.
  int32_t percent() const;

  // "<percent> %", with the blank the dialog has always shown.
  static std::string PercentText(int32_t percent);

 private:
  int32_t position_ = 0;
  int32_t scale_ = 0;
};

// Where a run reports. Nothing is called for an empty track list; otherwise the first call is
// SetItemCount (a dialog may open itself then) and the last is ShowSummary or ShowFailure.
class SyncProgress {
 public:
  virtual ~SyncProgress() = default;

  virtual void SetItemCount(int32_t items) = 0;
  // Narrow text: the ANSI code page on Windows, UTF-8 elsewhere.
  virtual void SetStatus(const std::string& text) = 0;
  virtual void Step() = 0;
  // The end of a run that did its work.
  virtual void ShowSummary(const SyncSummary& summary) = 0;
  // The end of a run that stopped before changing the iPod, or could not record what it copied;
  // `text` says why and what became of the iPod.
  virtual void ShowFailure(const std::string& text) = 0;
};

}  // namespace tunewell
