// tavo_profile_child PATH VISITOR_ID START_EVENT: waits for the named event,
// then gets or creates the installer profile at PATH (VISITOR_ID "-" for none)
// and prints what it returned. Two of them race in the profile tests.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/telemetry/installer_profile.h"
#include "common/text.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  HANDLE start = ::OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
  if (!start) return 3;
  ::WaitForSingleObject(start, 30000);
  ::CloseHandle(start);
  const std::wstring visitor = std::wstring(argv[2]) == L"-" ? L"" : argv[2];
  const std::string id = tavo::Utf8(tavo::GetOrCreateProfileAt(argv[1], visitor));
  std::fwrite(id.data(), 1, id.size(), stdout);
  return 0;
}
