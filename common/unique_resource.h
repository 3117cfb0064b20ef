#pragma once
// Sole ownership of one system handle: released exactly once, when the owner goes. Each platform
// names its handle kinds with one line each (a file descriptor, a Win32 handle, a registry key,
// a BSTR, ...), so no handle is ever closed by hand outside its owner.
#include <utility>

namespace marqel {

// `Traits` gives the handle type, the value that means "none", and how to release a handle:
//   struct FdTraits {
//     using Handle = int;
//     static constexpr int invalid() noexcept { return -1; }
//     static void close(int fd) noexcept { ::close(fd); }
//   };
template <class Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() noexcept = default;
  explicit UniqueResource(Handle handle) noexcept : handle_(handle) {}
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  ~UniqueResource() { reset(); }

  Handle get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != Traits::invalid(); }
  explicit operator bool() const noexcept { return valid(); }
  // Gives the handle up without releasing it.
  Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }
  // Releases the held handle (if any) and holds `handle` instead.
  void reset(Handle handle = Traits::invalid()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::invalid()) {
      Traits::close(old);
    }
  }
  // For an out argument of a system call: releases what is held first.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::invalid();
};

}  // namespace marqel
