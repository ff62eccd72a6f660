#pragma once

#include <cstddef>
#include <string>

namespace tunewell {

// Reserves room for `capacity` bytes in `buffer`, asking the OS to back a large buffer with large
// pages where it can: a database image of tens of megabytes otherwise costs one page fault per
// 4 KiB when first written.
void ReserveLargeBuffer(std::string* buffer, size_t capacity);

// Asks the OS to back the process's heap with large pages where it can: a large database's
// tracks take tens of megabytes in small allocations, each 4 KiB page otherwise costing a fault
// when first touched. For a short-lived program: freed memory is then kept, not returned. Call
// once, first thing, before any thread starts.
void PreferLargePagesForHeap();

}  // namespace tunewell
