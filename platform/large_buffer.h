#pragma once

#include <cstddef>
#include <string>

namespace tunewell {

// Reserves room for `capacity` bytes in `buffer`, asking the OS to back a large buffer with large
// pages where it can: a database image of tens of megabytes otherwise costs one page fault per
// 4 KiB when first written.
void ReserveLargeBuffer(std::string* buffer, size_t capacity);

}  // namespace tunewell
