// tavo_fake_desktop_shell: the interactive desktop's shell for the test prefix.
// Windows' Explorer owns the shell window (GetShellWindow), by which setup
// tells who the person at the desktop is; Wine's desktop sets none. This
// program registers a hidden window of its own as the shell window, writes
// FILE once it has, and stays until the Wine session ends.
//
//   tavo_fake_desktop_shell.exe FILE
#include <windows.h>

#include <cstdio>

// Exported by user32 for shells; the SDK headers leave it out.
extern "C" __declspec(dllimport) BOOL WINAPI SetShellWindow(HWND window);

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: tavo_fake_desktop_shell FILE\n", stderr);
    return 87;
  }
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"Progman";
  if (!RegisterClassExW(&windowClass)) return static_cast<int>(GetLastError());
  HWND shell = CreateWindowExW(WS_EX_TOOLWINDOW, L"Progman", L"Program Manager", WS_POPUP, 0, 0, 1, 1, nullptr,
                               nullptr, windowClass.hInstance, nullptr);
  if (!shell) return static_cast<int>(GetLastError());
  if (!SetShellWindow(shell) || GetShellWindow() != shell) {
    std::fputs("tavo_fake_desktop_shell: another shell window is set\n", stderr);
    return 1;
  }
  if (FILE* ready = _wfopen(argv[1], L"w")) {
    std::fputs("ready\n", ready);
    std::fclose(ready);
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
