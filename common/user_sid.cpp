#include "common/user_sid.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "common/handles.h"
#include "common/winrt/hresult_error.h"

namespace tavo {

std::wstring CurrentUserSid() {
  UniqueKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) ThrowLastError();
  return TokenUserSid(token.get());
}

std::wstring TokenUserSid(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) ThrowLastError();
  std::vector<unsigned char> buffer(size);
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) ThrowLastError();
  wchar_t* sidText = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sidText)) ThrowLastError();
  UniqueLocal owner(sidText);
  return sidText;
}

}  // namespace tavo
