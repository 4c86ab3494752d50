// The account this process runs as.
#pragma once

#include <string>

namespace tavo {

// The user SID of this process's token as text ("S-1-5-21-..."). Throws hresult_error.
std::wstring CurrentUserSid();

}  // namespace tavo
