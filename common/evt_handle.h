// The owner of a Windows Event Log handle (query, event, render context, publisher metadata).
#pragma once

#include <windows.h>
#include <winevt.h>

#include "common/handles.h"

namespace tavo {

namespace handle_traits {
inline void CloseEvt(EVT_HANDLE h) { ::EvtClose(h); }
}  // namespace handle_traits

using UniqueEvtHandle = UniqueHandle<handle_traits::NullIsNone<EVT_HANDLE, handle_traits::CloseEvt>>;

}  // namespace tavo
