// A failed Windows or Windows Runtime call: its HRESULT, a message, and the
// error-information object that Windows attached to the failure (if any),
// captured when the error is made.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/winrt/com_ptr.h"

namespace tavo {

class hresult_error {
 public:
  // Captures the calling thread's restricted error information.
  explicit hresult_error(HRESULT code, std::wstring message = {});
  // Uses the given error-information object instead (null for none).
  hresult_error(HRESULT code, std::wstring message, ComPtr<IUnknown> error_info);
  virtual ~hresult_error() = default;
  hresult_error(const hresult_error&) = default;
  hresult_error& operator=(const hresult_error&) = default;

  HRESULT code() const { return code_; }
  const std::wstring& message() const { return message_; }
  const ComPtr<IUnknown>& error_info() const { return error_info_; }

 private:
  HRESULT code_;
  std::wstring message_;
  ComPtr<IUnknown> error_info_;
};

// Throws hresult_error when hr is a failure.
inline void CheckHr(HRESULT hr) {
  if (FAILED(hr)) throw hresult_error(hr);
}
// Throws hresult_error for the calling thread's last Win32 error.
[[noreturn]] void ThrowLastError();
// Throws hresult_error for the given Win32 error.
[[noreturn]] void ThrowWin32(DWORD error);

}  // namespace tavo
