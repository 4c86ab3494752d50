#include "common/winrt/winrt.h"

namespace tavo {

HString::HString(std::wstring_view text) {
  CheckHr(::WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), value_.put()));
}

std::wstring HString::str() const { return ToWString(get()); }

std::wstring ToWString(HSTRING value) {
  UINT32 length = 0;
  const wchar_t* raw = ::WindowsGetStringRawBuffer(value, &length);
  return raw ? std::wstring(raw, length) : std::wstring();
}

}  // namespace tavo
