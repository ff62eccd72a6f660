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

// Writes the code points of `text` to `out` (room for text.size() units); returns how many.
size_t ToWide(std::u16string_view text, wchar_t* out) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    // A NUL would end the text for the C library; it has no place in a tag anyway.
    out[n++] = cp == 0 ? L'\uFFFD' : static_cast<wchar_t>(cp);
  }
  return n;
}

// Calls fn(begin, end) with the wide form of `text`. Keys are made by the ten thousand, so a
// text of ordinary length is converted on the stack.
template <class Fn>
auto WithWide(std::u16string_view text, Fn fn) {
  constexpr size_t kOnStack = 256;
  wchar_t stack[kOnStack];
  std::wstring heap;
  wchar_t* out = stack;
  if (text.size() > kOnStack) {
    heap.resize(text.size());
    out = heap.data();
  }
  const size_t n = ToWide(text, out);
  return fn(static_cast<const wchar_t*>(out), static_cast<const wchar_t*>(out + n));
}

int UnitBytes(uint32_t u) {
  return u < 0x80 ? 1 : u < 0x800 ? 2 : u < 0x10000 ? 3 : u < 0x200000 ? 4 : u < 0x4000000 ? 5 : 6;
}

}  // namespace

int CompareText(std::u16string_view a, std::u16string_view b) {
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
  const int r = WithWide(a, [&](const wchar_t* a_begin, const wchar_t* a_end) {
    return WithWide(b, [&](const wchar_t* b_begin, const wchar_t* b_end) {
      return Collator().compare(a_begin, a_end, b_begin, b_end);
    });
  });
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

std::string SortKey(std::u16string_view text) {
  if (text.empty()) return std::string();
  const std::wstring key = WithWide(text, [](const wchar_t* begin, const wchar_t* end) {
    return Collator().transform(begin, end);
  });
  // A leading 1 puts every non-empty text after the empty one. Each key unit (below 2^31) is
  // stored the way UTF-8 stores a code point, which keeps byte order equal to unit order while
  // most keys take a byte per unit.
  // Sized exactly: keys of 40,000 tracks are kept for the whole run.
  size_t bytes = 1;
  for (wchar_t unit : key) bytes += UnitBytes(static_cast<uint32_t>(unit) & 0x7FFFFFFF);
  std::string out(bytes, '\0');
  char* p = out.data();
  *p++ = '\x01';
  for (wchar_t unit : key) {
    const uint32_t u = static_cast<uint32_t>(unit) & 0x7FFFFFFF;
    const int extra = UnitBytes(u) - 1;
    if (extra == 0) {
      *p++ = static_cast<char>(u);
      continue;
    }
    static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    *p++ = static_cast<char>(kLead[extra] | (u >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k) *p++ = static_cast<char>(0x80 | ((u >> (6 * k)) & 0x3F));
  }
  return out;
}

}  // namespace tunewell
