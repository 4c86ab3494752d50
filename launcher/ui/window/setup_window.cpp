// The setup window: creation and placement, the controls and their layout,
// focus, and preview. Its messages: setup_window_messages.cpp and
// setup_window_input.cpp; its paint: setup_window_paint.cpp.
#include "launcher/ui/window/setup_window.h"

#include <commctrl.h>
#include <dwmapi.h>

#include <algorithm>
#include <cstdio>
#include <cmath>

#include "common/winrt/hresult_error.h"
#include "launcher/language/translation.h"
#include "launcher/ui/model/preview_state.h"
#include "launcher/ui/model/window_placement.h"
#include "launcher/ui/window/screenshot.h"
#include "launcher/ui/window/system_colours.h"
#include "launcher/ui/window/window_class.h"
#include "resources/resource_ids.h"

namespace tavo::launcher {

namespace {

constexpr float kDesignWidth = 720.0f;
constexpr float kDesignHeight = 600.0f;

SetupWindow* g_window = nullptr;  // see PublishWindow

// The monitor's effective DPI and the system DPI as Windows answers them
// (nothing for a missing library, function or monitor, or a failed call).
UINT DpiFor(HMONITOR monitor) {
  std::optional<uint32_t> monitorDpi, systemDpi;
  if (HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    auto get = reinterpret_cast<GetDpiForMonitorFn>(
        reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    UINT x = 0, y = 0;
    if (get && monitor && SUCCEEDED(get(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y))) monitorDpi = x;
    FreeLibrary(shcore);
  }
  if (!monitorDpi || *monitorDpi == 0) {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    auto system = reinterpret_cast<GetDpiForSystemFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForSystem")));
    if (system) systemDpi = system();
  }
  return ui::ChooseDpi(monitorDpi, systemDpi);
}

}  // namespace

SetupWindow* PublishedWindow() { return g_window; }
void PublishWindow(SetupWindow* window) { g_window = window; }

SetupWindow::SetupWindow(const LaunchOptions& options, std::wstring visitorId, const ui::RenderingResources& resources,
                         ui::TextMeasurer& measurer)
    : options_(options),
      platform_(*this, model_, options),
      controller_(model_, options, std::move(visitorId), platform_),
      resources_(resources),
      measurer_(measurer),
      layoutMeasure_(measurer),
      device_(resources) {
  model_.startTick = GetTickCount64();
}

// The worker session ends first: its reader stops posting and the worker
// messages still queued are freed with their records, which destroying the
// window would drop from the queue unfreed. Then the window goes.
SetupWindow::~SetupWindow() {
  platform_.ReleaseWorker(false);
  Destroy();
}

void SetupWindow::Create(HINSTANCE instance) {
  instance_ = instance;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(TAVO_RESOURCE_ICON));
  // The 16-pixel frame of the icon group, not the large icon scaled down.
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(TAVO_RESOURCE_ICON), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                      LR_DEFAULTCOLOR));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = ui::kWindowClassName;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) ThrowLastError();

  RECT work{0, 0, 1024, 768};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  POINT cursor{};
  GetCursorPos(&cursor);
  HMONITOR monitor = MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (monitor && GetMonitorInfoW(monitor, &info)) work = info.rcWork;
  const ui::WindowPlacement place =
      ui::PlaceWindow({work.left, work.top, work.right, work.bottom}, DpiFor(monitor));

  // A silent run has a message-only window: it carries the worker's messages
  // and the run's logic, and nothing can show, find or activate it.
  const bool messageOnly = options_.silent;
  HWND created = CreateWindowExW(messageOnly ? 0 : WS_EX_APPWINDOW, ui::kWindowClassName, Shown(texts::kWindowTitle).c_str(),
                                 messageOnly ? 0 : WS_POPUP | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX, place.x,
                                 place.y, place.width, place.height, messageOnly ? HWND_MESSAGE : nullptr, nullptr,
                                 instance, nullptr);
  if (!created) {
    // WM_CREATE failed: its exception is the cause (the last error is often 0).
    if (failure_) std::rethrow_exception(TakeFailure());
    ThrowLastError();
  }
  if (messageOnly) return;
  // Without the mark a second setup brings nothing forward; this one runs on.
  if (options_.InstallRun()) SetPropW(window_, ui::kInstallRunProperty, reinterpret_cast<HANDLE>(1));

  // Older systems lack some of these attributes; their results do not matter.
  MARGINS margins{1, 1, 1, 1};
  DwmExtendFrameIntoClientArea(window_, &margins);
  DWORD corners = 2;  // DWMWCP_ROUND
  DwmSetWindowAttribute(window_, 33 /* DWMWA_WINDOW_CORNER_PREFERENCE */, &corners, sizeof(corners));
  SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void SetupWindow::ReadColours() {
  colours_ = ui::ReadSystemColours();
  // The frame follows: dark with the design's border, or the theme's own under
  // high contrast. Older systems lack these attributes; the results do not matter.
  BOOL dark = colours_.highContrast ? FALSE : TRUE;
  DwmSetWindowAttribute(window_, 20 /* DWMWA_USE_IMMERSIVE_DARK_MODE */, &dark, sizeof(dark));
  COLORREF border = colours_.highContrast ? 0xFFFFFFFF /* DWMWA_COLOR_DEFAULT */ : 0x002E2A2A;
  DwmSetWindowAttribute(window_, 34 /* DWMWA_BORDER_COLOR */, &border, sizeof(border));
  InvalidateRect(window_, nullptr, FALSE);
}

void SetupWindow::Show(int showCommand) {
  if (!window_) return;
  // Screen readers and the taskbar matter only for a window people see.
  shownToUser_ = !options_.checkOnly && showCommand != SW_HIDE;
  if (shownToUser_) {
    liveRegion_.Attach(status_);
    // A refused PC or a session that could not start is an outcome before
    // the window appears: its text is told as the window comes up.
    if (IsOutcome(model_.screen)) liveRegion_.Announce();
  }
  ShowWindow(window_, showCommand == SW_MAXIMIZE ? SW_SHOWNORMAL : showCommand);
#ifdef TAVO_TEST_HOOKS
  // Tests of unattended runs tell a window that was shown from one that never was.
  if (const wchar_t* record = _wgetenv(L"TAVO_TEST_HOOK_SHOWN_FILE"); record && *record && shownToUser_) {
    if (FILE* file = _wfopen(record, L"a")) {
      std::fputs("shown\n", file);
      std::fclose(file);
    }
  }
#endif
}

void SetupWindow::StartWorkerSessionAfterFirstFrame(bool checkOnly) {
  if (!window_ || !shownToUser_ || IsIconic(window_)) {
    controller_.StartWorkerSession(checkOnly);
    return;
  }
  sessionStart_ = SessionStart::Pending;
}

void SetupWindow::ForgoInstallRunMark() {
  if (window_) RemovePropW(window_, ui::kInstallRunProperty);
}

void SetupWindow::Destroy() {
  if (!window_) return;
  // Every destroy of the window comes here; a window must lose its
  // properties before it is gone.
  RemovePropW(window_, ui::kInstallRunProperty);
  ::DestroyWindow(window_);
}

HWND SetupWindow::Control(int id) const {
  switch (id) {
    case kIdPrimary: return primary_;
    case kIdSecondary: return secondary_;
    case kIdCaptionClose: return close_;
    case kIdCaptionMinimize: return minimize_;
    case kIdShowLog: return showLog_;
    case kIdStatusText: return status_;
    case kIdCopyDetails: return copy_;
    default: return nullptr;
  }
}

bool SetupWindow::OnProgressScreen() const { return !IsOutcome(model_.screen); }

void SetupWindow::CreateControls() {
#ifdef TAVO_TEST_HOOKS
  // Tests make the controls fail, to see the window's creation fail with this cause.
  if (_wgetenv(L"TAVO_TEST_HOOK_FAIL_CONTROLS")) throw hresult_error(HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY));
#endif
  auto button = [&](int id, const std::wstring& text, bool visible) {
    DWORD style = WS_CHILD | WS_TABSTOP | BS_OWNERDRAW | (visible ? WS_VISIBLE : 0);
    HWND control = CreateWindowExW(0, L"BUTTON", text.c_str(), style, 0, 0, 10, 10, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (!control) ThrowLastError();
    SetWindowSubclass(control, ControlProc, static_cast<UINT_PTR>(id), 0);
    return control;
  };
  primary_ = button(kIdPrimary, L"", false);
  secondary_ = button(kIdSecondary, L"", false);
  copy_ = button(kIdCopyDetails, Shown(L"Copy details"), false);
  showLog_ = button(kIdShowLog, Shown(L"Show log file"), false);
  minimize_ = button(kIdCaptionMinimize, Shown(L"Minimize"), true);
  close_ = button(kIdCaptionClose, Shown(L"Close"), true);
  status_ = CreateWindowExW(0, L"STATIC", Shown(model_.statusText).c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdStatusText)), instance_, nullptr);
  if (!status_) ThrowLastError();
  SetWindowSubclass(status_, ControlProc, kIdStatusText, 0);
}

void SetupWindow::UpdateControls() {
  if (!window_) return;
  Controls next = ComputeControls(model_, controller_.CurrentControlsInput(), layoutMeasure_);
  auto setText = [](HWND control, const std::wstring& text) {
    wchar_t current[512] = {};
    GetWindowTextW(control, current, 512);
    if (text != current) SetWindowTextW(control, text.c_str());
  };
  setText(primary_, next.primaryText);
  setText(secondary_, next.secondaryText);
  setText(copy_, next.copyLinkText);
  ShowWindow(primary_, next.primaryText.empty() ? SW_HIDE : SW_SHOWNA);
  ShowWindow(secondary_, next.secondaryText.empty() ? SW_HIDE : SW_SHOWNA);
  ShowWindow(copy_, next.copyLinkShown ? SW_SHOWNA : SW_HIDE);
  ShowWindow(showLog_, next.logLinkShown ? SW_SHOWNA : SW_HIDE);
  EnableWindow(primary_, next.primaryEnabled);
  EnableWindow(close_, next.captionEnabled);
  EnableWindow(minimize_, next.captionEnabled);
  controls_ = std::move(next);
  ApplyFocus(controls_);
  setText(status_, controls_.accessibleText);
  setText(window_, controls_.title);
  ui::AnnouncementKey key = ui::AnnouncementKeyFor(model_, controls_.accessibleText);
  if (announced_ && key != *announced_) liveRegion_.Announce();
  announced_ = std::move(key);
  if (shownToUser_) taskbar_.Show(ui::TaskbarProgressFor(model_));
  PlaceControls();
}

void SetupWindow::ApplyFocus(const Controls& controls) {
  HWND focus = GetFocus();
  auto usable = [](HWND control) { return IsWindowVisible(control) && IsWindowEnabled(control); };
  if (model_.stopConfirmationShown) {
    if (focus != primary_ && focus != secondary_ && !IsIconic(window_)) {
      SetFocus(primary_);
      rememberedFocus_ = primary_;
    }
    return;
  }
  // The window itself holds the focus only while no control can: it is no
  // control inside the window, so a primary that becomes usable takes it.
  bool onWindow = focus == window_;
  bool inControl = focus && IsChild(window_, focus);
  bool onCaption = focus == close_ || focus == minimize_;
  bool primaryShown = !controls.primaryText.empty();
  if (!inControl || (onCaption && !rememberedFocus_ && primaryShown) || !usable(focus)) {
    // Do not take the focus from another program.
    if (!onWindow && !inControl && GetForegroundWindow() != window_) return;
    HWND next = usable(primary_) ? primary_ : window_;
    if (next != focus) SetFocus(next);
  }
}

void SetupWindow::Relayout() {
  RECT client{};
  GetClientRect(window_, &client);
  float width = static_cast<float>(client.right), height = static_cast<float>(client.bottom);
  scale_ = std::min(height / kDesignHeight, width / kDesignWidth);
  offsetX_ = (width - kDesignWidth * scale_) / 2;
  offsetY_ = (height - kDesignHeight * scale_) / 2;
  PlaceControls();
}

void SetupWindow::PlaceControls() {
  auto place = [&](HWND control, const DipRect& r) {
    MoveWindow(control, static_cast<int>(std::lround(scale_ * r.x + offsetX_)),
               static_cast<int>(std::lround(scale_ * r.y + offsetY_)), static_cast<int>(std::lround(scale_ * r.w)),
               static_cast<int>(std::lround(scale_ * r.h)), FALSE);
  };
  place(close_, {674, 14, 32, 32});
  place(minimize_, {638, 14, 32, 32});
  place(primary_, controls_.primary);
  place(secondary_, controls_.secondary);
  place(copy_, controls_.copyLink);
  place(showLog_, controls_.logLink);
  place(status_, controls_.status);
  InvalidateRect(window_, nullptr, FALSE);
}

void SetupWindow::FlashIfMinimised() {
  if (!window_ || !IsIconic(window_)) return;
  FLASHWINFO flash{sizeof(flash), window_, FLASHW_TRAY | FLASHW_TIMERNOFG, 3, 0};
  FlashWindowEx(&flash);
}

void SetupWindow::FocusPrimary() {
  if (primary_ && IsWindowVisible(primary_)) SetFocus(primary_);
}

void SetupWindow::MinimizeWindow() {
  if (window_) ShowWindow(window_, SW_MINIMIZE);
}

void SetupWindow::SetCloseTimer(uint32_t milliseconds) {
  if (!window_) return;
  if (milliseconds == 0) {
    KillTimer(window_, kTimerClose);
  } else {
    SetTimer(window_, kTimerClose, milliseconds, nullptr);
  }
}

void SetupWindow::SetLaunchTimer(uint32_t milliseconds) {
  if (!window_) return;
  if (milliseconds == 0) {
    KillTimer(window_, kTimerLaunch);
  } else {
    SetTimer(window_, kTimerLaunch, milliseconds, nullptr);
  }
}

void SetupWindow::StartPreview() {
  model_.currentTip = std::clamp(options_.tip, 0, kTipCount - 1);
  if (!ui::ApplyPreviewState(model_, options_, Now())) {
    if (options_.stateName.empty()) controller_.ResetToStart();
  }
  UpdateControls();
}

void SetupWindow::CaptureScreenshot(const std::wstring& path, float scale) {
  model_.FreezeClock();
  ui::FrameInputs inputs = CurrentFrameInputs();
  inputs.states = {};  // no pointer and no keyboard use in a screenshot
  ui::FrameTools tools = Tools();
  ui::CaptureToPng(path, scale, tools, inputs);
}

}  // namespace tavo::launcher
