// tavo_bench_window: the baseline of the launcher's start to its first frame:
// a minimal Direct2D window program that paints one clear frame, writes the
// milliseconds since its start to the file named on its command line, and ends.
//
//   tavo_bench_window.exe FILE
#include <windows.h>
#include <d2d1.h>

#include "common/process_clock.h"

namespace {

ID2D1Factory* g_factory = nullptr;
const wchar_t* g_record = nullptr;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    const D2D1_RENDER_TARGET_PROPERTIES properties{D2D1_RENDER_TARGET_TYPE_DEFAULT,
                                                   {DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN}, 96, 96,
                                                   D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT};
    const D2D1_HWND_RENDER_TARGET_PROPERTIES hwnd{
        window, {static_cast<UINT32>(client.right), static_cast<UINT32>(client.bottom)}, D2D1_PRESENT_OPTIONS_NONE};
    ID2D1HwndRenderTarget* target = nullptr;
    if (SUCCEEDED(g_factory->CreateHwndRenderTarget(&properties, &hwnd, &target))) {
      target->BeginDraw();
      const D2D1_COLOR_F background{0.03f, 0.03f, 0.04f, 1};
      target->Clear(&background);
      target->EndDraw();
      target->Release();
    }
    EndPaint(window, &paint);
    if (g_record) tavo::WriteMillisecondsSinceProcessStart(g_record);
    g_record = nullptr;
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  g_record = commandLine && *commandLine ? commandLine : nullptr;
  if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                               reinterpret_cast<void**>(&g_factory)))) {
    return 1;
  }
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"TavoBenchWindow";
  RegisterClassExW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"bench", WS_POPUP | WS_VISIBLE, 100, 100, 720, 600,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  g_factory->Release();
  return 0;
}
