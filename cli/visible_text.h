#pragma once

#include <string>
#include <string_view>

namespace tunewell::cli {

// `text` fit for a terminal: control characters (C0, DEL, C1), which a tag could use to move the
// cursor, recolour or fake lines, are written out as escapes (\n, \r, \t, \x1B, \u009B), and so
// is a byte of a name that is not UTF-8 (\xE9).
std::u16string VisibleText(std::u16string_view text);
// The same for narrow text.
std::string VisibleText(std::string_view text);

}  // namespace tunewell::cli
