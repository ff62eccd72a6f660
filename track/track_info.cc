#include "track/track_info.h"

#include <limits>

namespace tunewell {

int TrackInfo::TextFieldCount() const {
  int count = 0;
  for (const std::u16string* text : {&path, &title, &genre, &artist, &album, &composer, &kind}) {
    if (!text->empty()) ++count;
  }
  return count;
}

uint32_t TrackInfo::TotalTextLength(uint32_t unit_size) const {
  size_t units = 0;
  for (const std::u16string* text : {&path, &title, &genre, &artist, &album, &composer, &kind}) {
    units += text->size();
  }
  return static_cast<uint32_t>(units * unit_size);
}

void RemoveEntry(TrackArray& array, size_t place) {
  if (place < array.size()) array.erase(array.begin() + static_cast<ptrdiff_t>(place));
}

int32_t LeadingDecimalInteger(std::u16string_view text) {
  size_t i = 0;
  auto is_space = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > kLimit) value = kLimit;  // saturate; stays beyond either limit
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t StarsFromRating(std::u16string_view text) {
  const int32_t x = LeadingDecimalInteger(text);
  if (x <= 0) return 0;
  if (x <= 12) return 1;
  if (x <= 37) return 2;
  if (x <= 62) return 3;
  if (x <= 86) return 4;
  if (x <= 100) return 5;
  return 0;
}

}  // namespace tunewell
