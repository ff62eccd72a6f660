#include "storage/ipod_location.h"

#include <vector>

#include "platform/path.h"
#include "platform/text.h"

namespace tunewell {

namespace {

bool IsSeparator(char c) { return c == kPathSeparator || c == '/'; }

bool SameAsciiName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A name that the file system takes for exactly itself: not "." or "..", nothing that
// separates, and no trailing dot or blank (Windows drops those, so "..." could mean "..").
bool IsPlainName(std::u16string_view name) {
  if (name.empty() || name.back() == u'.' || name.back() == u' ') return false;
  for (char16_t c : name) {
    if (c < 0x20 || c == u'/' || c == u'\\' || c == u':') return false;
  }
  return true;
}

std::vector<std::u16string_view> SplitLocation(std::u16string_view rest) {
  std::vector<std::u16string_view> names;
  size_t start = 0;
  for (;;) {
    const size_t colon = rest.find(u':', start);
    names.push_back(rest.substr(start, colon == std::u16string_view::npos ? colon : colon - start));
    if (colon == std::u16string_view::npos) return names;
    start = colon + 1;
  }
}

}  // namespace

Status LocationFromPath(std::string_view root, std::string_view path, std::u16string* location) {
  const std::string base = WithTrailingSeparator(root);
  if (path.size() <= base.size() || path.compare(0, base.size(), base) != 0) {
    return Status::InvalidArgument(std::string(path) + " is not below the iPod root " + base);
  }
  std::string below(path.substr(base.size()));
  for (char& c : below) {
    if (c == ':') {
      return Status::InvalidArgument(std::string(path) + " holds a ':', which no location can");
    }
    if (IsSeparator(c)) c = ':';
  }
  *location = u":" + NarrowToWide(below);
  return Status::Ok();
}

std::u16string LocationKey(std::u16string_view location) {
  std::u16string key(location);
  for (char16_t& c : key) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return key;
}

std::string PathFromLocation(std::string_view root, std::u16string_view location) {
  if (!location.empty() && location.front() == u':') location.remove_prefix(1);
  std::string below = WideToNarrow(location);
  for (char& c : below) {
    if (c == ':') c = kPathSeparator;
  }
  return WithTrailingSeparator(root) + below;
}

namespace {

// The path `location` names, every folder on the way a real folder inside the music folder;
// what lies at the end is the caller's to judge.
Status ResolveMusicPath(Env& env, std::string_view root, std::u16string_view location,
                        std::string* path) {
  const std::string shown = Utf16ToUtf8(location);
  auto unsafe = [&](const char* why) {
    return Status::InvalidArgument("location \"" + shown + "\" " + why);
  };
  if (location.empty() || location.front() != u':') return unsafe("does not start with ':'");
  const std::vector<std::u16string_view> names = SplitLocation(location.substr(1));
  if (names.size() < 3 || !SameAsciiName(names[0], u"iPod_Control") ||
      !SameAsciiName(names[1], u"Music")) {
    return unsafe("is not inside iPod_Control:Music");
  }
  for (std::u16string_view name : names) {
    if (!IsPlainName(name)) return unsafe("has a name that could lead elsewhere");
  }
  if (NarrowToWide(WideToNarrow(location)) != location) {
    return unsafe("has characters that narrow paths cannot hold");
  }

  // Every folder on the way must be a real folder, so that a link cannot lead outside. The
  // iPod's own spelling of the first two: on a volume that tells case apart, another spelling
  // is another folder.
  std::string step = WithTrailingSeparator(root);
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    step += i == 0 ? "iPod_Control" : i == 1 ? "Music" : WideToNarrow(names[i]);
    const PathKind kind = env.KindOf(step);
    if (kind == PathKind::kNone) return Status::NotFound(step + ": no such folder");
    if (kind != PathKind::kFolder) return Status::Refused(step + ": not a plain folder");
    step += kPathSeparator;
  }
  *path = step + WideToNarrow(names.back());
  return Status::Ok();
}

}  // namespace

Status ResolveMusicFile(Env& env, std::string_view root, std::u16string_view location,
                        std::string* path) {
  std::string found;
  RETURN_IF_ERROR(ResolveMusicPath(env, root, location, &found));
  const PathKind kind = env.KindOf(found);
  if (kind == PathKind::kNone) return Status::NotFound(found + ": no such file");
  if (kind != PathKind::kFile) return Status::Refused(found + ": not a plain file");
  *path = std::move(found);
  return Status::Ok();
}

Status ResolveNewMusicFile(Env& env, std::string_view root, std::u16string_view location,
                           std::string* path) {
  std::string found;
  RETURN_IF_ERROR(ResolveMusicPath(env, root, location, &found));
  if (env.KindOf(found) != PathKind::kNone) return Status::Refused(found + ": already taken");
  *path = std::move(found);
  return Status::Ok();
}

}  // namespace tunewell
