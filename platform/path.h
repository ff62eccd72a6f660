#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tunewell {

// The separator of the paths this build works with.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// `root` (which ends in a separator, as an iPod root does) followed by `parts` joined with
// separators.
std::string JoinPath(std::string_view root, std::initializer_list<std::string_view> parts);

// `path` with a separator added unless it already ends in one.
std::string WithTrailingSeparator(std::string_view path);

// `path` without the separators it ends in; a lone root separator ("/") stays.
std::string WithoutTrailingSeparator(std::string_view path);

// The folder part of `path` (up to, not including, its last separator), or "" when it has none.
std::string ParentOf(std::string_view path);

}  // namespace tunewell
