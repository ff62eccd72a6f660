#include <locale>
#include <string>

#include "platform/collation.h"

namespace tunewell {

namespace {

// The environment's locale, or "C" when it names none that exists.
const std::collate<wchar_t>& Collator() {
  static const std::locale locale = [] {
    try {
      return std::locale("");
    } catch (const std::exception&) {
      return std::locale::classic();
    }
  }();
  return std::use_facet<std::collate<wchar_t>>(locale);
}

std::wstring ToWide(std::u16string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    // A NUL would end the text for the C library; it has no place in a tag anyway.
    out.push_back(cp == 0 ? L'\uFFFD' : static_cast<wchar_t>(cp));
  }
  return out;
}

}  // namespace

int CompareText(std::u16string_view a, std::u16string_view b) {
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
  const std::wstring wa = ToWide(a);
  const std::wstring wb = ToWide(b);
  const int r =
      Collator().compare(wa.data(), wa.data() + wa.size(), wb.data(), wb.data() + wb.size());
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

std::string SortKey(std::u16string_view text) {
  if (text.empty()) return std::string();
  const std::wstring w = ToWide(text);
  const std::wstring key = Collator().transform(w.data(), w.data() + w.size());
  // A leading 1 puts every non-empty text after the empty one; each key unit is stored big-endian
  // so that byte order is unit order.
  std::string out(1, '\x01');
  out.reserve(1 + key.size() * 4);
  for (wchar_t unit : key) {
    const uint32_t u = static_cast<uint32_t>(unit);
    out.push_back(static_cast<char>(u >> 24));
    out.push_back(static_cast<char>(u >> 16));
    out.push_back(static_cast<char>(u >> 8));
    out.push_back(static_cast<char>(u));
  }
  return out;
}

}  // namespace tunewell
