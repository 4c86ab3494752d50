// One move-only owner per Windows handle kind. A handle is closed exactly once,
// by the owner that holds it when it is destroyed or reset.
#pragma once

#include <windows.h>

#include <utility>

namespace tavo {

// Traits: `type`, `static type invalid()`, `static void close(type)`.
template <typename Traits>
class UniqueHandle {
 public:
  using type = typename Traits::type;

  UniqueHandle() = default;
  explicit UniqueHandle(type value) : value_(value) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  type get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::invalid(); }
  type release() { return std::exchange(value_, Traits::invalid()); }
  void reset(type value = Traits::invalid()) {
    type old = std::exchange(value_, value);
    if (old != Traits::invalid()) Traits::close(old);
  }
  // For APIs that return the handle through an out parameter.
  type* put() {
    reset();
    return &value_;
  }

 private:
  type value_ = Traits::invalid();
};

namespace handle_traits {
template <typename T, auto Close>
struct NullIsNone {
  using type = T;
  static type invalid() { return nullptr; }
  static void close(type h) { Close(h); }
};
struct File {
  using type = HANDLE;
  static type invalid() { return INVALID_HANDLE_VALUE; }
  static void close(type h) { ::CloseHandle(h); }
};
inline void CloseKernel(HANDLE h) { ::CloseHandle(h); }
inline void CloseKey(HKEY h) { ::RegCloseKey(h); }
inline void CloseService(SC_HANDLE h) { ::CloseServiceHandle(h); }
inline void FreeLocal(HLOCAL h) { ::LocalFree(h); }
inline void UnloadModule(HMODULE h) { ::FreeLibrary(h); }
}  // namespace handle_traits

// Handles whose "none" value is null (threads, processes, jobs, events, pipes).
using UniqueKernelHandle = UniqueHandle<handle_traits::NullIsNone<HANDLE, handle_traits::CloseKernel>>;
// Handles whose "none" value is INVALID_HANDLE_VALUE (CreateFileW).
using UniqueFile = UniqueHandle<handle_traits::File>;
using UniqueRegKey = UniqueHandle<handle_traits::NullIsNone<HKEY, handle_traits::CloseKey>>;
using UniqueServiceHandle = UniqueHandle<handle_traits::NullIsNone<SC_HANDLE, handle_traits::CloseService>>;
using UniqueLocal = UniqueHandle<handle_traits::NullIsNone<HLOCAL, handle_traits::FreeLocal>>;
using UniqueModule = UniqueHandle<handle_traits::NullIsNone<HMODULE, handle_traits::UnloadModule>>;

}  // namespace tavo
