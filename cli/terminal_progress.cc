#include "cli/terminal_progress.h"

#include <algorithm>

#include "cli/visible_text.h"

namespace tunewell::cli {

namespace {

constexpr int kBarWidth = 24;
// Narrow enough for an 80-column terminal, so the line never wraps and \r finds its start.
constexpr size_t kLineColumns = 79;

// Columns a UTF-8 sequence takes, by its lead byte: three- and four-byte characters are
// counted wide, which holds for the scripts that take two columns and only over-counts others.
size_t Columns(unsigned char lead) {
  if ((lead & 0xC0) == 0x80) return 0;
  return lead >= 0xE0 ? 2 : 1;
}

// `text` cut to at most `columns` columns, never inside a UTF-8 sequence; `*used` gets the
// columns it takes.
std::string CutToColumns(const std::string& text, size_t columns, size_t* used) {
  size_t width = 0;
  size_t end = 0;
  while (end < text.size()) {
    const size_t w = Columns(static_cast<unsigned char>(text[end]));
    size_t next = end + 1;
    while (next < text.size() && Columns(static_cast<unsigned char>(text[next])) == 0) ++next;
    if (width + w > columns) break;
    width += w;
    end = next;
  }
  *used = width;
  return text.substr(0, end);
}

std::string Bar(int32_t percent) {
  const int filled = std::clamp(percent, 0, 100) * kBarWidth / 100;
  return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "]";
}

std::string PaddedPercent(int32_t percent) {
  std::string text = ProgressModel::PercentText(percent);
  return std::string(text.size() < 5 ? 5 - text.size() : 0, ' ') + text;
}

}  // namespace

void TerminalProgress::SetItemCount(int32_t items) {
  model_.SetItemCount(items);
  if (live_) Draw();
}

void TerminalProgress::SetStatus(const std::string& text) {
  status_ = VisibleText(text);
  if (live_) {
    Draw();
  } else {
    std::fprintf(stderr, "[%s] %s\n", PaddedPercent(model_.percent()).c_str(), status_.c_str());
  }
}

void TerminalProgress::Step() {
  model_.Step();
  if (live_) Draw();
}

void TerminalProgress::ShowSummary(const SyncSummary& summary) {
  ClearLine();
  std::string out;
  for (const SummaryLine& line : SummaryLines(summary)) {
    if (line.visible) out += line.text + '\n';
  }
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
}

void TerminalProgress::ShowFailure(const std::string& text) { Message(text); }

void TerminalProgress::Show(const std::string& text, const std::string& /*caption*/) {
  Message(text);
}

void TerminalProgress::Message(const std::string& text) {
  ClearLine();
  std::fprintf(stderr, "tunewell: %s\n", VisibleText(text).c_str());
  if (live_ && model_.scale() > 0) Draw();
}

void TerminalProgress::Draw() {
  size_t columns = 0;
  const std::string line =
      CutToColumns(Bar(model_.percent()) + " " + PaddedPercent(model_.percent()) + "  " + status_,
                   kLineColumns, &columns);
  // Blanks over whatever the longer previous line left behind.
  std::string out = "\r" + line;
  if (drawn_ > columns) out += std::string(drawn_ - columns, ' ') + "\r" + line;
  drawn_ = columns;
  std::fputs(out.c_str(), stderr);
  std::fflush(stderr);
}

void TerminalProgress::ClearLine() {
  if (drawn_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(drawn_, ' ').c_str());
  std::fflush(stderr);
  drawn_ = 0;
}

}  // namespace tunewell::cli
