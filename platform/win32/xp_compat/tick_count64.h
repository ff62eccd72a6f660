#pragma once

// Portable on purpose (no Windows header): the shim that links it is Windows-only, its arithmetic
// is tested everywhere.

#include <atomic>
#include <cstdint>

namespace tunewell {

// A 64-bit millisecond count made from a 32-bit one that wraps every 2^32 ms (49.7 days), the way
// GetTickCount64 extends GetTickCount. `last` holds the last count returned, shared by every
// caller: each result is at least every result returned before it, from any thread, provided
// calls come less than 49.7 days apart. `read_counter` runs after `last` is loaded, so it never
// gives a reading older than the one `last` was made from.
template <typename ReadCounter>
uint64_t ExtendTickCount(std::atomic<uint64_t>& last, ReadCounter read_counter) {
  uint64_t seen = last.load(std::memory_order_acquire);
  for (;;) {
    const uint32_t now = read_counter();
    // Unsigned 32-bit subtraction: the time since `seen`, across a wrap too.
    const uint64_t next = seen + static_cast<uint32_t>(now - static_cast<uint32_t>(seen));
    if (next == seen) return seen;
    if (last.compare_exchange_weak(seen, next, std::memory_order_acq_rel,
                                   std::memory_order_acquire)) {
      return next;
    }
    // Another caller stored a later count; `now` may predate it, so read the counter again.
  }
}

}  // namespace tunewell
