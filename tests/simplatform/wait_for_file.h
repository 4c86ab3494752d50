// The simulated platform's gates: a step waits until the test creates a file.
#pragma once

#include <windows.h>

#include <string>

namespace tavo::sim {

// Until `path` exists (true), or `cancelled` (when given) is signalled
// (false). At most five minutes: a test that is gone must not hold the worker.
inline bool WaitForFile(const std::wstring& path, HANDLE cancelled = nullptr) {
  for (int waited = 0; waited < 300000; waited += 50) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    if (cancelled ? ::WaitForSingleObject(cancelled, 50) == WAIT_OBJECT_0 : (::Sleep(50), false)) return false;
  }
  return true;
}

}  // namespace tavo::sim
