#pragma once

#include <string>
#include <string_view>

namespace tunewell {

// Compares two texts by the collation of the user's default locale, case-sensitive, no flags.
// An empty text is less than any other. Returns -1, 0 or +1.
int CompareText(std::u16string_view a, std::u16string_view b);

// A byte string ordered as CompareText orders texts: SortKey(a) < SortKey(b) exactly when
// CompareText(a, b) < 0, and the keys are equal exactly when CompareText answers 0.
std::string SortKey(std::u16string_view text);

}  // namespace tunewell
