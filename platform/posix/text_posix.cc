#include <algorithm>

#include "platform/text.h"

namespace tunewell {

// Narrow text on POSIX systems is UTF-8.
std::u16string NarrowToWide(std::string_view text) { return Utf8ToUtf16(text); }
std::string WideToNarrow(std::u16string_view text) { return Utf16ToUtf8(text); }

std::u16string PathToWide(std::string_view path) { return Utf8ToUtf16(path, true); }
std::string WideToPath(std::u16string_view path) { return Utf16ToUtf8(path, true); }

std::u16string NameToText(std::string_view name) {
  std::u16string text = Utf8ToUtf16(name, true);
  if (std::none_of(text.begin(), text.end(),
                   [](char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; })) {
    return text;
  }
  text.clear();
  for (const char c : name) text.push_back(static_cast<unsigned char>(c));
  return text;
}

}  // namespace tunewell
