// Move-only ownership of a platform handle. Each kind of handle gets a traits type that
// names its invalid value and its closer:
//
//   struct FileTraits {
//     using Handle = HANDLE;
//     static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
//     static void Close(Handle h) noexcept { ::CloseHandle(h); }
//   };
//   using UniqueFile = UniqueHandle<FileTraits>;
//
// Where the invalid value is a constant and one function closes, HandleTraits says it in a line:
//
//   using UniqueRegKey = UniqueHandle<HandleTraits<HKEY, ::RegCloseKey>>;
#pragma once

#include <utility>

namespace mq {

template <typename H, auto CloseFn, H kInvalid = H{}>
struct HandleTraits {
  using Handle = H;
  static Handle Invalid() noexcept { return kInvalid; }
  static void Close(Handle h) noexcept { CloseFn(h); }
};

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept : handle_(Traits::Invalid()) {}
  explicit UniqueHandle(Handle h) noexcept : handle_(h) {}
  ~UniqueHandle() { Reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Handle Get() const noexcept { return handle_; }
  bool Valid() const noexcept { return handle_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return Valid(); }

  // Gives up ownership without closing.
  Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

  // Closes the held handle (if any) and takes ownership of `h`.
  void Reset(Handle h = Traits::Invalid()) noexcept {
    Handle old = std::exchange(handle_, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  Handle handle_;
};

}  // namespace mq
