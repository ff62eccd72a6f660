#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <climits>

#include "platform/collation.h"

namespace tunewell {

namespace {

const wchar_t* Wide(std::u16string_view text) {
  return reinterpret_cast<const wchar_t*>(text.data());
}

// The locale calls count in int; a longer text (none this program handles) is ordered by its
// code units, as when they fail.
bool Collatable(std::u16string_view text) { return text.size() <= static_cast<size_t>(INT_MAX); }

// Code unit order, for the case the locale calls cannot fail on but report failure anyway.
int OrdinalCompare(std::u16string_view a, std::u16string_view b) {
  const int r = a.compare(b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace

int CompareText(std::u16string_view a, std::u16string_view b) {
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
  if (!Collatable(a) || !Collatable(b)) return OrdinalCompare(a, b);
  const int r = ::CompareStringW(LOCALE_USER_DEFAULT, 0, Wide(a), static_cast<int>(a.size()),
                                 Wide(b), static_cast<int>(b.size()));
  if (r == 0) return OrdinalCompare(a, b);
  return r - CSTR_EQUAL;
}

std::string SortKey(std::u16string_view text) {
  if (text.empty()) return std::string();
  const int length = Collatable(text) ? static_cast<int>(text.size()) : 0;
  const int size = length > 0 ? ::LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Wide(text),
                                               length, nullptr, 0)
                              : 0;
  // A leading 1 puts every non-empty text after the empty one, whose key is empty.
  std::string out(1, '\x01');
  if (size <= 0) {
    // A text the locale calls refuse or cannot take: keep the key deterministic at least.
    for (char16_t unit : text) {
      out.push_back(static_cast<char>(unit >> 8));
      out.push_back(static_cast<char>(unit));
    }
    return out;
  }
  out.resize(1 + static_cast<size_t>(size));
  // LCMAP_SORTKEY writes bytes despite the wide pointer type.
  ::LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Wide(text), length,
                 reinterpret_cast<wchar_t*>(out.data() + 1), size);
  // Every key ends in the same terminating zero; it adds nothing to the order.
  if (out.back() == '\0') out.pop_back();
  return out;
}

}  // namespace tunewell
