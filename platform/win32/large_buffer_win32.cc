#include "platform/large_buffer.h"

namespace tunewell {

// Large pages need a privilege ordinary users lack; a plain reservation is what is left.
void ReserveLargeBuffer(std::string* buffer, size_t capacity) { buffer->reserve(capacity); }

void PreferLargePagesForHeap() {}

}  // namespace tunewell
