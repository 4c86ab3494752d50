// The account this process runs as.
#pragma once

#include <windows.h>

#include <string>

namespace tavo {

// The user SID of this process's token as text ("S-1-5-21-..."). Throws hresult_error.
std::wstring CurrentUserSid();

// The user SID of a token opened with TOKEN_QUERY, as text. Throws hresult_error.
std::wstring TokenUserSid(HANDLE token);

}  // namespace tavo
