#pragma once

// Move-only owners of one COM reference and of one BSTR.

#include <oleauto.h>
#include <windows.h>

#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace tunewell {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes one more reference on `p`.
  static ComPtr Share(T* p) {
    if (p != nullptr) p->AddRef();
    return ComPtr(p);
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  ~ComPtr() { Reset(); }

  ComPtr Copy() const { return Share(p_); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Releases what is held; for out-parameters.
  T** Out() {
    Reset();
    return &p_;
  }
  void Reset(T* p = nullptr) {
    if (p_ != nullptr) p_->Release();
    p_ = p;
  }

 private:
  explicit ComPtr(T* p) : p_(p) {}
  T* p_ = nullptr;
};

class Bstr {
 public:
  Bstr() = default;
  // Throws std::bad_alloc when the text cannot be allocated.
  explicit Bstr(std::u16string_view text)
      : b_(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                               static_cast<UINT>(text.size()))) {
    if (b_ == nullptr) throw std::bad_alloc();
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(b_); }

  BSTR get() const { return b_; }
  BSTR* Out() {
    ::SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::u16string Text() const {
    return std::u16string(reinterpret_cast<const char16_t*>(b_), ::SysStringLen(b_));
  }

 private:
  BSTR b_ = nullptr;
};

}  // namespace tunewell
