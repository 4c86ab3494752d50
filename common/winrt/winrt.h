// The one Windows Runtime helper: HSTRING ownership and class activation.
#pragma once

#include <inspectable.h>
#include <roapi.h>
#include <winstring.h>

#include <string>
#include <string_view>

#include "common/handles.h"
#include "common/winrt/com_ptr.h"
#include "common/winrt/hresult_error.h"

namespace tavo {

namespace handle_traits {
inline void DeleteHString(HSTRING h) { ::WindowsDeleteString(h); }
}  // namespace handle_traits

// Owns one HSTRING. A null HSTRING is the empty string.
class HString {
 public:
  HString() = default;
  explicit HString(std::wstring_view text);
  HSTRING get() const { return value_.get(); }
  HSTRING* put() { return value_.put(); }
  std::wstring str() const;

 private:
  UniqueHandle<handle_traits::NullIsNone<HSTRING, handle_traits::DeleteHString>> value_;
};

std::wstring ToWString(HSTRING value);

// RoActivateInstance(cls) and QueryInterface for `iid`; throws hresult_error.
template <typename T>
ComPtr<T> ActivateInstance(std::wstring_view cls, const IID& iid) {
  HString name(cls);
  ComPtr<IInspectable> instance;
  CheckHr(::RoActivateInstance(name.get(), instance.put()));
  ComPtr<T> out;
  CheckHr(instance.As(iid, out));
  return out;
}

// RoGetActivationFactory(cls, iid); throws hresult_error.
template <typename T>
ComPtr<T> GetActivationFactory(std::wstring_view cls, const IID& iid) {
  HString name(cls);
  ComPtr<T> factory;
  CheckHr(::RoGetActivationFactory(name.get(), iid, factory.put_void()));
  return factory;
}

}  // namespace tavo
