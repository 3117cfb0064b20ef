#pragma once
// One counted reference to a COM interface, released when the holder goes. Works with any
// interface that has AddRef and Release: the hand-declared ones on Linux and the system's on
// Windows.
#include <utility>

namespace marqel::com {

template <class Interface>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already holds (as an out argument hands one over).
  static ComPtr attach(Interface* p) noexcept {
    ComPtr held;
    held.p_ = p;
    return held;
  }
  // Takes a reference of its own.
  static ComPtr share(Interface* p) noexcept {
    if (p != nullptr) p->AddRef();
    return attach(p);
  }
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr& operator=(const ComPtr& other) noexcept {
    if (this != &other) *this = share(other.p_);
    return *this;
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  Interface* get() const noexcept { return p_; }
  Interface* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  // For an out argument: releases what is held first.
  void** put() noexcept {
    reset();
    return reinterpret_cast<void**>(&p_);
  }
  // The same, for an out argument typed as the interface.
  Interface** putTyped() noexcept {
    reset();
    return &p_;
  }
  // Hands the reference to the caller without releasing it.
  Interface* detach() noexcept { return std::exchange(p_, nullptr); }
  void reset() noexcept {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }

 private:
  Interface* p_ = nullptr;
};

}  // namespace marqel::com
