// Owning pointer for COM and Windows Runtime interfaces: one reference, released once.
#pragma once

#include <unknwn.h>

#include <utility>

namespace tavo {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes ownership of one reference that the caller already holds.
  static ComPtr Attach(T* raw) {
    ComPtr p;
    p.ptr_ = raw;
    return p;
  }
  // Adds a reference of its own.
  static ComPtr Copy(T* raw) {
    if (raw) raw->AddRef();
    return Attach(raw);
  }
  ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
    if (ptr_) ptr_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  T* detach() { return std::exchange(ptr_, nullptr); }
  void reset() {
    if (T* old = std::exchange(ptr_, nullptr)) old->Release();
  }
  // For APIs that return a new reference through an out parameter.
  T** put() {
    reset();
    return &ptr_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

  // QueryInterface for U by the given IID; returns the HRESULT, fills `out`.
  template <typename U>
  HRESULT As(const IID& iid, ComPtr<U>& out) const {
    if (!ptr_) return E_POINTER;
    return ptr_->QueryInterface(iid, out.put_void());
  }

 private:
  T* ptr_ = nullptr;
};

}  // namespace tavo
