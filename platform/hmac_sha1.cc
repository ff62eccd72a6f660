#include <string>
#include <vector>

#include "platform/sha1.h"

namespace tunewell {

namespace {

constexpr size_t kBlock = 64;

std::string_view View(const Sha1Digest& d) {
  return {reinterpret_cast<const char*>(d.data()), d.size()};
}

}  // namespace

Status HmacSha1(std::string_view key, std::span<const std::string_view> parts, Sha1Digest* mac) {
  Sha1Digest hashed_key;
  if (key.size() > kBlock) {
    RETURN_IF_ERROR(Sha1({&key, 1}, &hashed_key));
    key = View(hashed_key);
  }
  std::string inner_pad(kBlock, '\x36');
  std::string outer_pad(kBlock, '\x5c');
  for (size_t i = 0; i < key.size(); ++i) {
    inner_pad[i] = static_cast<char>(inner_pad[i] ^ key[i]);
    outer_pad[i] = static_cast<char>(outer_pad[i] ^ key[i]);
  }
  std::vector<std::string_view> inner{inner_pad};
  inner.insert(inner.end(), parts.begin(), parts.end());
  Sha1Digest inner_hash;
  RETURN_IF_ERROR(Sha1(inner, &inner_hash));
  const std::string_view outer[] = {outer_pad, View(inner_hash)};
  return Sha1(outer, mac);
}

}  // namespace tunewell
