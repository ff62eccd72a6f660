#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace tunewell {

// Track ids mapped to values without an allocation per id: a table indexed by id where the ids
// are dense (as a database's usually are), otherwise one sorted array. Of equal ids the first
// given is found.
template <class Value>
class IdIndex {
 public:
  using Entry = std::pair<uint32_t, Value>;

  explicit IdIndex(std::vector<Entry> entries) : entries_(std::move(entries)) {
    uint32_t largest = 0;
    for (const Entry& e : entries_) largest = std::max(largest, e.first);
    if (largest <= 4 * uint64_t{entries_.size()} + 1024) {
      place_.assign(size_t{largest} + 1, 0);
      for (size_t i = entries_.size(); i-- > 0;)
        place_[entries_[i].first] = static_cast<uint32_t>(i + 1);
      return;
    }
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.first < b.first; });
  }

  // Null when the id is not listed.
  const Value* Find(uint32_t id) const {
    if (!place_.empty() || entries_.empty()) {
      if (id >= place_.size() || place_[id] == 0) return nullptr;
      return &entries_[place_[id] - 1].second;
    }
    const auto it =
        std::lower_bound(entries_.begin(), entries_.end(), id,
                         [](const Entry& e, uint32_t wanted) { return e.first < wanted; });
    return it != entries_.end() && it->first == id ? &it->second : nullptr;
  }

 private:
  std::vector<Entry> entries_;
  std::vector<uint32_t> place_;  // by id: 1 + index into entries_, 0 where absent
};

}  // namespace tunewell
