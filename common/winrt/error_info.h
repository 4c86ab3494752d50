// Restricted error information: declared here because MinGW's headers do not.
#pragma once

#include <oaidl.h>
#include <unknwn.h>

namespace tavo {

// {82ba7092-4c88-427d-a7bc-16dd93feb67e}
inline constexpr IID kIID_IRestrictedErrorInfo = {0x82ba7092, 0x4c88, 0x427d, {0xa7, 0xbc, 0x16, 0xdd, 0x93, 0xfe, 0xb6, 0x7e}};

struct IRestrictedErrorInfo : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetErrorDetails(BSTR* description, HRESULT* error, BSTR* restrictedDescription,
                                                    BSTR* capabilitySid) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetReference(BSTR* reference) = 0;
};

}  // namespace tavo

extern "C" HRESULT WINAPI GetRestrictedErrorInfo(tavo::IRestrictedErrorInfo** info);
