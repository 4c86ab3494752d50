// tavo_profile_child PATH VISITOR_ID START_EVENT READY_EVENT: signals the
// ready event once loaded, waits for the start event, then gets or creates the
// installer profile at PATH (VISITOR_ID "-" for none) and prints what it
// returned. Several of them race in the profile tests.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/telemetry/installer_profile.h"
#include "common/text.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) return 2;
  HANDLE start = ::OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
  HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[4]);
  if (!start || !ready) return 3;
  // Process start-up takes longer than the work: without this the first child
  // would be done before the second one runs.
  ::SetEvent(ready);
  ::CloseHandle(ready);
  ::WaitForSingleObject(start, 30000);
  ::CloseHandle(start);
  const std::wstring visitor = std::wstring(argv[2]) == L"-" ? L"" : argv[2];
  const std::string id = tavo::Utf8(tavo::GetOrCreateProfileAt(argv[1], visitor));
  std::fwrite(id.data(), 1, id.size(), stdout);
  return 0;
}
