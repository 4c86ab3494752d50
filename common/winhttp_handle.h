// The owner of a WinHTTP handle (session, connection or request).
#pragma once

#include <windows.h>
#include <winhttp.h>

#include "common/handles.h"

namespace tavo {

namespace handle_traits {
inline void CloseInternet(HINTERNET h) { ::WinHttpCloseHandle(h); }
}  // namespace handle_traits

using UniqueInternetHandle = UniqueHandle<handle_traits::NullIsNone<HINTERNET, handle_traits::CloseInternet>>;

}  // namespace tavo
