#pragma once

#include <string>
#include <string_view>

namespace tunewell {

// Narrow text is the ANSI code page on Windows and UTF-8 elsewhere. Characters the target cannot
// hold become '?' (narrow) or U+FFFD (wide); on Windows a text of 2^31 units or more becomes
// that one character.
std::u16string NarrowToWide(std::string_view text);
std::string WideToNarrow(std::u16string_view text);

// A path as wide text and back, byte for byte. On POSIX, where a name may be any bytes, a byte
// that is not part of valid UTF-8 travels as the lone surrogate U+DC00 + its value.
std::u16string PathToWide(std::string_view path);
std::string WideToPath(std::u16string_view path);
// A file or folder name as text for a title or an album: on POSIX a name that is not valid UTF-8
// is read as Latin-1, as old disks wrote it, so that the text is always valid.
std::u16string NameToText(std::string_view name);

// Portable conversions between UTF-8 and UTF-16; malformed input becomes U+FFFD, or with
// `keep_bytes` travels as PathToWide keeps it.
std::u16string Utf8ToUtf16(std::string_view text, bool keep_bytes = false);
std::string Utf16ToUtf8(std::u16string_view text, bool keep_bytes = false);

}  // namespace tunewell
