// The COM plumbing shared by every object of the simulated platform: reference
// counting, QueryInterface, IInspectable, the module's live-object count, and
// the conversions at the ABI boundary (strings, exceptions).
#pragma once

#include <objidl.h>
#include <inspectable.h>
#include <winstring.h>

#include <atomic>
#include <new>
#include <string>
#include <string_view>

namespace tavo::sim {

// Objects alive in this module; DllCanUnloadNow answers from it.
inline std::atomic<long> g_live_objects{0};

// A simulated runtime class implementing `Default` (its default interface, also
// answered for IUnknown and IInspectable) and `Others`; the derived class maps
// their IIDs in Find. The objects are free-threaded and say so (IAgileObject).
// A new object holds one reference, which its creator owns.
// Objects are destroyed by Release only, through the virtual destructor below;
// the warning about the interfaces' public non-virtual ones does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template <typename Default, typename... Others>
class RuntimeObject : public Default, public Others... {
 public:
  RuntimeObject() { ++g_live_objects; }
  RuntimeObject(const RuntimeObject&) = delete;
  RuntimeObject& operator=(const RuntimeObject&) = delete;
  virtual ~RuntimeObject() { --g_live_objects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IInspectable) || iid == __uuidof(IAgileObject)) {
      *out = static_cast<Default*>(this);
    } else {
      *out = Find(iid);
    }
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
    if (!count || !iids) return E_POINTER;
    // Nothing in this program asks; an empty list is a valid answer.
    *count = 0;
    *iids = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
    if (!name) return E_POINTER;
    const std::wstring_view cls = ClassName();
    return ::WindowsCreateString(cls.data(), static_cast<UINT32>(cls.size()), name);
  }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
    if (!level) return E_POINTER;
    *level = BaseTrust;
    return S_OK;
  }

 protected:
  // The interface pointer for `iid` among Default and Others, or null.
  virtual void* Find(REFIID iid) = 0;
  virtual std::wstring_view ClassName() const = 0;

 private:
  std::atomic<long> references_{1};
};
#pragma GCC diagnostic pop

// Copies `text` into a new HSTRING for an out parameter.
inline HRESULT ReturnString(std::wstring_view text, HSTRING* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return ::WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), out);
}

// An HSTRING argument as text (null is the empty string).
inline std::wstring ArgumentText(HSTRING value) {
  UINT32 length = 0;
  const wchar_t* raw = ::WindowsGetStringRawBuffer(value, &length);
  return raw ? std::wstring(raw, length) : std::wstring();
}

// Runs an ABI method body; C++ exceptions must not cross the ABI.
template <typename Body>
HRESULT Guard(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace tavo::sim
