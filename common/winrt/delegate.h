// The IUnknown part of the Windows Runtime delegate objects the worker hands to
// asynchronous operations. Windows may call them on any thread, so they are
// agile and reference-counted atomically; a derived class adds `Invoke`.
#pragma once

#include <unknwn.h>

#include <atomic>

namespace tavo {

// {94ea2b94-e9cc-49e0-c0ff-ee64ca8f5b90}: marks an object that any apartment may call.
inline constexpr IID kIID_IAgileObject = {0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};

template <typename Interface, const IID& InterfaceId>
class DelegateBase : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == InterfaceId || iid == kIID_IAgileObject) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  DelegateBase() = default;
  virtual ~DelegateBase() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace tavo
