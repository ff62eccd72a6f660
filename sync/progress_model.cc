#include <cstdio>

#include "sync/progress.h"

namespace tunewell {

namespace {

std::string Format(const char* pattern, int32_t count) {
  char text[100];
  std::snprintf(text, sizeof text, pattern, static_cast<int>(count));
  return text;
}

}  // namespace

std::array<SummaryLine, 4> SummaryLines(const SyncSummary& summary) {
  const int32_t not_copied = summary.remaining - summary.copied;
  return {{
      {.id = SummaryLineId::kCopied,
       .visible = true,
       .text = Format("Copied %i items successfully.", summary.copied)},
      {.id = SummaryLineId::kExisting,
       .visible = true,
       .text = Format("Skipped %i items that already existed on iPod.", summary.existing)},
      {.id = SummaryLineId::kNoRoom,
       .visible = not_copied != 0,
       .text =
           Format(summary.copyFailed ? "Copying failed. %i items not copied."
                                     : "iPod is full. %i items not copied due to lack of space.",
                  not_copied)},
      {.id = SummaryLineId::kNotMp3,
       .visible = summary.notMp3 != 0,
       .text = Format("Skipped %i items that were not MP3s.", summary.notMp3)},
  }};
}

void ProgressModel::SetItemCount(int32_t items) {
  scale_ = items + 2;
  position_ = 0;
}

int32_t ProgressModel::Step() {
  ++position_;
  return percent();
}

int32_t ProgressModel::percent() const {
  if (scale_ <= 0) return 0;
  // Whole numbers, so that 29 of 100 reads 29 and not a floating-point 28.999...
  return static_cast<int32_t>(int64_t{position_} * 100 / scale_);
}

std::string ProgressModel::PercentText(int32_t percent) { return Format("%i %%", percent); }

}  // namespace tunewell
