// A library planted beside a copy of the launcher under the name of a system
// DLL (d2d1, DWrite, dwmapi, WinHTTP), the way a browser leaves a download in
// the Downloads folder. Loaded into a process, it writes `<its own path>.loaded`
// and answers every call it stands in for with a failure; a setup that loads
// its system libraries from the system folder only never loads it.
#include <windows.h>

#include <string>

namespace {

void WriteMarker(HMODULE self) {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;  // the test then sees no marker and fails on what the run did
  std::wstring marker = std::wstring(path, length) + L".loaded";
  HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) WriteMarker(instance);
  return TRUE;
}

// The stand-ins: every exported name (planted_dll.def) is this one function.
// It fails as the factories and the DWM calls fail, with an HRESULT; the
// tests' runs never reach a WinHTTP call of the launcher.
extern "C" INT_PTR PlantedStandIn() { return static_cast<INT_PTR>(E_ACCESSDENIED); }
