#pragma once

// One owner for every kind of system resource: the traits say what "none" is and how a value is
// freed, the owner frees it exactly once.

#include <utility>

namespace tunewell {

// Owns one `T` and frees it through `Traits`:
//   static T InvalidValue();       the value that owns nothing;
//   static bool Free(T value);     frees a value that is not InvalidValue(); false when the
//                                  system refused;
//   static bool IsValid(T value);  optional, for resources with more than one "none": any value
//                                  it rejects is kept as InvalidValue().
// Move-only.
template <typename T, typename Traits>
class ScopedGeneric {
 public:
  ScopedGeneric() = default;
  explicit ScopedGeneric(T value) : value_(Normal(value)) {}
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;
  ScopedGeneric(ScopedGeneric&& other) noexcept : value_(other.release()) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~ScopedGeneric() { reset(); }

  bool valid() const { return value_ != Traits::InvalidValue(); }
  T get() const { return value_; }

  // Gives up ownership without freeing.
  [[nodiscard]] T release() { return std::exchange(value_, Traits::InvalidValue()); }

  // Frees what is owned, if anything, and takes `value`. False when the freeing failed, for the
  // owners whose freeing can fail in a way worth reporting (a file's last write).
  bool reset(T value = Traits::InvalidValue()) {
    const T old = std::exchange(value_, Normal(value));
    return old == Traits::InvalidValue() || Traits::Free(old);
  }

 private:
  static T Normal(T value) {
    if constexpr (requires { Traits::IsValid(value); }) {
      return Traits::IsValid(value) ? value : Traits::InvalidValue();
    } else {
      return value;
    }
  }

  T value_ = Traits::InvalidValue();
};

}  // namespace tunewell
