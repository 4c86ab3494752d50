// tavo_bench_window: the setup window's baselines, a minimal Direct2D window
// program 720 x 600 that clears and presents. It writes the milliseconds since
// its start to the file named on its command line at its first painted frame.
// Without --tick it then ends (the baseline of the launcher's first frame);
// with --tick it goes on painting at the launcher's 33 ms tick until it is
// ended (the baseline of the shown window's processor share).
//
//   tavo_bench_window.exe FILE [--tick]
#include <windows.h>
#include <d2d1.h>
#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <string>

#include "common/process_clock.h"
#include "common/winrt/com_ptr.h"

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 33;

ID2D1Factory* g_factory = nullptr;
tavo::ComPtr<ID2D1HwndRenderTarget> g_target;
std::wstring g_record;
bool g_tick = false;

void Paint(HWND window) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  if (!g_target) {
    RECT client{};
    GetClientRect(window, &client);
    const D2D1_RENDER_TARGET_PROPERTIES properties{D2D1_RENDER_TARGET_TYPE_DEFAULT,
                                                   {DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN}, 96, 96,
                                                   D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT};
    const D2D1_HWND_RENDER_TARGET_PROPERTIES hwnd{
        window, {static_cast<UINT32>(client.right), static_cast<UINT32>(client.bottom)}, D2D1_PRESENT_OPTIONS_NONE};
    // Without a target this frame shows nothing; the next paint tries again.
    g_factory->CreateHwndRenderTarget(&properties, &hwnd, g_target.put());
  }
  if (g_target) {
    g_target->BeginDraw();
    const D2D1_COLOR_F background{0.03f, 0.03f, 0.04f, 1};
    g_target->Clear(&background);
    if (g_target->EndDraw() == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) g_target.reset();
  }
  EndPaint(window, &paint);
  if (!g_record.empty()) tavo::WriteMillisecondsSinceProcessStart(g_record.c_str());
  g_record.clear();
  if (!g_tick) DestroyWindow(window);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_TIMER:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  const std::unique_ptr<wchar_t*, decltype(&LocalFree)> argv(CommandLineToArgvW(GetCommandLineW(), &argc),
                                                             &LocalFree);
  if (argv && argc > 1) g_record = argv.get()[1];
  g_tick = argv && argc > 2 && std::wcscmp(argv.get()[2], L"--tick") == 0;
  if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                               reinterpret_cast<void**>(&g_factory)))) {
    return 1;
  }
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = L"TavoBenchWindow";
  RegisterClassExW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"bench", WS_POPUP | WS_VISIBLE, 100, 100, 720, 600,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  if (g_tick) SetTimer(window, kTickTimer, kTickMs, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  g_target.reset();
  g_factory->Release();
  return 0;
}
