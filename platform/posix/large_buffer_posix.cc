#include <sys/mman.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cstdint>
#include <cstdlib>

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

void PreferLargePagesForHeap() {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  // Blocks below 32 MiB come from the heap, which grows once by 256 MiB of address space (only
  // what is touched is used) and is never trimmed; that span then gets the large-page advice.
  if (::mallopt(M_MMAP_THRESHOLD, 32 << 20) == 0 || ::mallopt(M_TRIM_THRESHOLD, 1 << 30) == 0 ||
      ::mallopt(M_TOP_PAD, 256 << 20) == 0) {
    return;
  }
  const uintptr_t before = reinterpret_cast<uintptr_t>(::sbrk(0));
  void* volatile grow = std::malloc(1 << 20);
  std::free(grow);
  const uintptr_t after = reinterpret_cast<uintptr_t>(::sbrk(0));
  ::mallopt(M_TOP_PAD, 128 << 10);
  const uintptr_t first = (before + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t last = after & ~(kHugePage - 1);
  // Advice is a hint and may be refused.
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace tunewell
