#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <climits>

#include "platform/text.h"

namespace tunewell {

namespace {

// The conversion calls count in int. No text this program handles comes near that; one that
// did converts as text the code page cannot hold.
bool Convertible(size_t size) { return size <= static_cast<size_t>(INT_MAX); }

}  // namespace

std::u16string NarrowToWide(std::string_view text) {
  if (text.empty()) return std::u16string();
  if (!Convertible(text.size())) return std::u16string(1, u'\uFFFD');
  const int in_size = static_cast<int>(text.size());
  const int out_size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), in_size, nullptr, 0);
  if (out_size <= 0) return std::u16string(text.size(), u'\uFFFD');
  std::u16string out(static_cast<size_t>(out_size), u'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), in_size, reinterpret_cast<wchar_t*>(out.data()),
                        out_size);
  return out;
}

std::string WideToNarrow(std::u16string_view text) {
  if (text.empty()) return std::string();
  if (!Convertible(text.size())) return std::string(1, '?');
  const int in_size = static_cast<int>(text.size());
  const wchar_t* in = reinterpret_cast<const wchar_t*>(text.data());
  // No best fit: a character the code page lacks becomes '?' rather than a look-alike, which in
  // a path could be a separator or a different, existing file.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  const int out_size =
      ::WideCharToMultiByte(CP_ACP, flags, in, in_size, nullptr, 0, nullptr, nullptr);
  if (out_size <= 0) return std::string(text.size(), '?');
  std::string out(static_cast<size_t>(out_size), '\0');
  ::WideCharToMultiByte(CP_ACP, flags, in, in_size, out.data(), out_size, nullptr, nullptr);
  return out;
}

// Paths and names are code-page text here, which every byte string is.
std::u16string PathToWide(std::string_view path) { return NarrowToWide(path); }
std::string WideToPath(std::u16string_view path) { return WideToNarrow(path); }
std::u16string NameToText(std::string_view name) { return NarrowToWide(name); }

}  // namespace tunewell
