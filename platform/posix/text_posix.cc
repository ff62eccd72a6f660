#include "platform/text.h"

namespace tunewell {

// Narrow text on POSIX systems is UTF-8.
std::u16string NarrowToWide(std::string_view text) { return Utf8ToUtf16(text); }
std::string WideToNarrow(std::u16string_view text) { return Utf16ToUtf8(text); }

}  // namespace tunewell
