#include "cli/visible_text.h"

#include <cstdio>

#include "platform/text.h"

namespace tunewell::cli {

std::u16string VisibleText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    const bool c0 = c < 0x20 || c == 0x7F;
    // A byte of a name that is not UTF-8, as PathToWide keeps it.
    const bool byte = c >= 0xDC80 && c <= 0xDCFF;
    if (!c0 && !byte && (c < 0x80 || c > 0x9F)) {
      out += c;
      continue;
    }
    char escape[8];
    switch (c) {
      case u'\n':
        out += u"\\n";
        continue;
      case u'\r':
        out += u"\\r";
        continue;
      case u'\t':
        out += u"\\t";
        continue;
      default:
        std::snprintf(escape, sizeof escape, c0 || byte ? "\\x%02X" : "\\u%04X",
                      static_cast<unsigned>(byte ? c - 0xDC00 : c));
    }
    for (const char* e = escape; *e != '\0'; ++e) out += static_cast<char16_t>(*e);
  }
  return out;
}

std::string VisibleText(std::string_view text) {
  // Escaped as wide text, so a C1 character is found whatever narrow encoding holds it, and a
  // byte that is no character is shown as the byte it is.
  return WideToNarrow(VisibleText(PathToWide(text)));
}

}  // namespace tunewell::cli
