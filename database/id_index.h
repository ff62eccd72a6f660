#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace tunewell {

// Track ids mapped to values in one sorted array: the tens of thousands of ids of a database
// cost one allocation, not one each. Of equal ids the first given is found.
template <class Value>
class IdIndex {
 public:
  using Entry = std::pair<uint32_t, Value>;

  explicit IdIndex(std::vector<Entry> entries) : entries_(std::move(entries)) {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.first < b.first; });
  }

  // Null when the id is not listed.
  const Value* Find(uint32_t id) const {
    const auto it =
        std::lower_bound(entries_.begin(), entries_.end(), id,
                         [](const Entry& e, uint32_t wanted) { return e.first < wanted; });
    return it != entries_.end() && it->first == id ? &it->second : nullptr;
  }

 private:
  std::vector<Entry> entries_;
};

}  // namespace tunewell
