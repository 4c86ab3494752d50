// Starting a Windows program from a test tool under Wine. While the Wine
// session is busy starting other processes, a start now and then fails at once
// with ERROR_INTERNAL_ERROR (the new process died in Wine's own start-up,
// before any of its code ran). That refusal, and only that one, is tried again
// a few times and said on standard error, so that every other failure, and a
// refusal that persists, still fails the test that started the program.
#pragma once

#include <windows.h>

#include <cstdio>

namespace tavo::testing {

inline constexpr int kStartAttempts = 5;

inline bool IsWineStartRefusal(DWORD error) {
  return error == ERROR_INTERNAL_ERROR || error == static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_INTERNAL_ERROR));
}

// Calls `start` (which returns 0 or the failure's Win32 error or HRESULT) until
// it succeeds, fails otherwise, or has been refused kStartAttempts times;
// returns its last result.
template <class Start>
DWORD StartRetryingWineRefusal(const wchar_t* program, Start&& start) {
  for (int attempt = 1;; ++attempt) {
    DWORD error = start();
    if (!IsWineStartRefusal(error) || attempt == kStartAttempts) return error;
    std::fwprintf(stderr, L"test tools: starting %ls was refused with ERROR_INTERNAL_ERROR (attempt %d of %d); "
                          L"starting it again\n", program, attempt, kStartAttempts);
    std::fflush(stderr);
    // A short pause lets the session finish the starts it is busy with; the
    // result is judged by the start itself, not by this time.
    ::Sleep(100u * static_cast<DWORD>(attempt));
  }
}

}  // namespace tavo::testing
