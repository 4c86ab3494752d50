#include "common/winrt/hresult_error.h"

#include "common/text.h"
#include "common/winrt/error_info.h"

namespace tavo {
namespace {

// Takes the thread's restricted error information when Windows has one. Wine
// answers E_NOTIMPL, which leaves the error without an information object.
ComPtr<IUnknown> CaptureErrorInfo() {
  ComPtr<IRestrictedErrorInfo> info;
  if (GetRestrictedErrorInfo(info.put()) != S_OK || !info) return {};
  return ComPtr<IUnknown>::Copy(info.get());
}

}  // namespace

hresult_error::hresult_error(HRESULT code, std::wstring message)
    : code_(code), message_(std::move(message)), error_info_(CaptureErrorInfo()) {}

hresult_error::hresult_error(HRESULT code, std::wstring message, ComPtr<IUnknown> error_info)
    : code_(code), message_(std::move(message)), error_info_(std::move(error_info)) {}

void ThrowLastError() { ThrowWin32(::GetLastError()); }

void ThrowWin32(DWORD error) {
  HRESULT hr = HresultFromWin32(error);
  // A failing call that left no error still failed: report it as E_FAIL.
  throw hresult_error(hr == 0 ? E_FAIL : hr);
}

}  // namespace tavo
