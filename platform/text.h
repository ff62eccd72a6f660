#pragma once

#include <string>
#include <string_view>

namespace tunewell {

// Narrow text is the ANSI code page on Windows and UTF-8 elsewhere. Characters the target cannot
// hold become '?' (narrow) or U+FFFD (wide); on Windows a text of 2^31 units or more becomes
// that one character.
std::u16string NarrowToWide(std::string_view text);
std::string WideToNarrow(std::u16string_view text);

// Portable conversions between UTF-8 and UTF-16; malformed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace tunewell
