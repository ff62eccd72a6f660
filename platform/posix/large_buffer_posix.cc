#include <sys/mman.h>

#include <cstdint>

#include "platform/large_buffer.h"

namespace tunewell {

void ReserveLargeBuffer(std::string* buffer, size_t capacity) {
  buffer->reserve(capacity);
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  if (capacity < 2 * kHugePage) return;
  const uintptr_t begin = reinterpret_cast<uintptr_t>(buffer->data());
  const uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t last = (begin + capacity) & ~(kHugePage - 1);
  // Only the untouched tail of the reservation; advice is a hint and may be refused.
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace tunewell
