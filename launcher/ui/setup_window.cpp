#include "launcher/ui/setup_window.h"

#include <commctrl.h>
#include <dwmapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "common/process_clock.h"
#include "common/winrt/hresult_error.h"
#include "launcher/ui/frame_painter.h"
#include "launcher/ui/preview_state.h"
#include "launcher/ui/screenshot.h"
#include "launcher/ui/system_colours.h"
#include "launcher/ui/window_class.h"
#include "launcher/ui/window_placement.h"
#include "resources/resource_ids.h"

namespace tavo::launcher {

namespace {


constexpr UINT_PTR kTimerAnimation = 1;
constexpr UINT_PTR kTimerLaunch = 2;
constexpr float kDesignWidth = 720.0f;
constexpr float kDesignHeight = 600.0f;
// The GDI fallback when the Direct2D frame cannot be drawn.
constexpr COLORREF kFallbackBackground = 0x0A0808;
constexpr COLORREF kFallbackText = 0xF8F8F8;
constexpr wchar_t kFallbackMessage[] =
    L"Tavo Setup couldn't initialize its display. Update your display driver and try again.";

SetupWindow* g_window = nullptr;

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

  HWND created = CreateWindowExW(WS_EX_APPWINDOW, ui::kWindowClassName, L"Tavo Studio Setup",
                                 WS_POPUP | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX, place.x, place.y, place.width,
                                 place.height, nullptr, nullptr, instance, nullptr);
  if (!created) {
    // WM_CREATE failed: its exception is the cause (the last error is often 0).
    if (failure_) std::rethrow_exception(TakeFailure());
    ThrowLastError();
  }

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
}

void SetupWindow::Destroy() {
  if (window_) ::DestroyWindow(window_);
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
  auto button = [&](int id, const wchar_t* text, bool visible) {
    DWORD style = WS_CHILD | WS_TABSTOP | BS_OWNERDRAW | (visible ? WS_VISIBLE : 0);
    HWND control = CreateWindowExW(0, L"BUTTON", text, style, 0, 0, 10, 10, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (!control) ThrowLastError();
    SetWindowSubclass(control, ControlProc, static_cast<UINT_PTR>(id), 0);
    return control;
  };
  primary_ = button(kIdPrimary, L"", false);
  secondary_ = button(kIdSecondary, L"", false);
  copy_ = button(kIdCopyDetails, L"Copy details", false);
  showLog_ = button(kIdShowLog, L"Show log file", false);
  minimize_ = button(kIdCaptionMinimize, L"Minimize", true);
  close_ = button(kIdCaptionClose, L"Close", true);
  status_ = CreateWindowExW(0, L"STATIC", model_.statusText.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window_,
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

void SetupWindow::SetLaunchTimer(uint32_t milliseconds) {
  if (!window_) return;
  if (milliseconds == 0) {
    KillTimer(window_, kTimerLaunch);
  } else {
    SetTimer(window_, kTimerLaunch, milliseconds, nullptr);
  }
}

bool SetupWindow::PreTranslate(MSG& message) {
  if (message.message != WM_KEYDOWN || !window_) return false;
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  WPARAM key = message.wParam;
  if (key == VK_TAB || key == VK_ESCAPE || key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) {
    SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  }
  try {
    if (key == VK_ESCAPE) {
      if (model_.stopConfirmationShown) {
        controller_.OnCommand(kIdPrimary);
      } else {
        controller_.CloseRequest();
      }
      return true;
    }
    if ((key == VK_LEFT || key == VK_RIGHT) && OnProgressScreen() && !model_.stopConfirmationShown) {
      model_.SelectTip(model_.currentTip + (key == VK_RIGHT ? 1 : -1), Now());
      InvalidateRect(window_, nullptr, FALSE);
      return true;
    }
  } catch (...) {
    failure_ = std::current_exception();
    PostQuitMessage(0);
    return true;
  }
  return false;
}

void SetupWindow::Tick() {
  if (model_.AnimationTick(Now(), lastTick_)) UpdateControls();
  if (options_.preview) controller_.AdvanceDemo();
  InvalidateRect(window_, nullptr, FALSE);
}

ui::FrameInputs SetupWindow::CurrentFrameInputs() {
  ui::FrameInputs inputs;
  inputs.model = &model_;
  inputs.controls = &controls_;
  inputs.preview = options_.preview;
  inputs.installOnly = options_.installOnly;
  inputs.colours = colours_;
  inputs.scale = scale_;
  inputs.offsetX = offsetX_;
  inputs.offsetY = offsetY_;
  inputs.now = Now();
  inputs.states.hovered = hovered_;
  for (HWND button : {primary_, secondary_, close_, minimize_, showLog_, copy_}) {
    if (button && (SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED)) inputs.states.pressed = GetDlgCtrlID(button);
  }
  HWND focus = GetFocus();
  if (focus && focus != status_ && IsChild(window_, focus)) inputs.states.focused = GetDlgCtrlID(focus);
  inputs.states.focusCues = !(SendMessageW(window_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
  return inputs;
}

void SetupWindow::PaintFrame() {
#ifdef TAVO_TEST_HOOKS
  // Tests make the frame fail, to see the GDI fallback.
  if (_wgetenv(L"TAVO_TEST_HOOK_FAIL_FRAME")) throw hresult_error(static_cast<HRESULT>(D2DERR_INVALID_CALL));
#endif
  device_.EnsureForWindow(window_, scale_);
  ui::FrameTools tools = Tools();
  // A lost device was released: the next paint, at once, rebuilds it.
  if (!ui::DrawFrame(tools, CurrentFrameInputs())) InvalidateRect(window_, nullptr, FALSE);
}

void SetupWindow::PaintFallback(HDC dc) {
  RECT client{};
  GetClientRect(window_, &client);
  // The stock DC brush takes any colour and needs no owner.
  const bool highContrast = colours_.highContrast;
  // 0xRRGGBB and COLORREF differ by the order of red and blue: one swap serves both ways.
  SetDCBrushColor(dc, highContrast ? ui::RgbFromColorRef(colours_.background) : kFallbackBackground);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, highContrast ? ui::RgbFromColorRef(colours_.text) : kFallbackText);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  // Centred both ways with word wrap: measure the wrapped height first.
  RECT text = client;
  InflateRect(&text, -24, 0);
  RECT measured = text;
  DrawTextW(dc, kFallbackMessage, -1, &measured, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  const LONG height = measured.bottom - measured.top;
  text.top = client.top + (client.bottom - client.top - height) / 2;
  text.bottom = text.top + height;
  DrawTextW(dc, kFallbackMessage, -1, &text, DT_CENTER | DT_WORDBREAK);
  SelectObject(dc, oldFont);
}

void SetupWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  if (!IsIconic(window_)) {
    try {
      PaintFrame();
#ifdef TAVO_TEST_HOOKS
      // The benchmark times the start up to the first painted frame, then ends the run.
      if (const wchar_t* record = _wgetenv(L"TAVO_TEST_HOOK_FIRST_FRAME_FILE"); record && !firstFrameRecorded_) {
        firstFrameRecorded_ = true;
        WriteMillisecondsSinceProcessStart(record);
        PostQuitMessage(0);
      }
#endif
    } catch (...) {
      // Any failure of the Direct2D frame (device, picture, text): the next
      // paint starts from new device resources, this one shows the text below.
      device_.Release();
      PaintFallback(dc);
    }
  }
  EndPaint(window_, &paint);
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

int SetupWindow::IndicatorAtClientPoint(int x, int y) const {
  if (!OnProgressScreen() || model_.stopConfirmationShown) return -1;
  return TipIndicatorAt((static_cast<float>(x) - offsetX_) / scale_, (static_cast<float>(y) - offsetY_) / scale_);
}

LRESULT CALLBACK SetupWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SetupWindow* self = g_window;
  // One setup window per process: the first message of the new window binds it.
  if (!self || (self->window_ && self->window_ != window)) return DefWindowProcW(window, message, wParam, lParam);
  if (!self->window_) self->window_ = window;
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (...) {
    self->failure_ = std::current_exception();
    // A failed WM_CREATE fails CreateWindowExW, and Create rethrows the failure.
    if (message == WM_CREATE) return -1;
    // Handled by the entry after the loop, like any other start-up failure.
    PostQuitMessage(0);
    return 0;
  }
}

LRESULT SetupWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == taskbarCreatedMessage_ && message != 0) {
    if (shownToUser_) taskbar_.OnCreated(window_, ui::TaskbarProgressFor(model_));
    return 0;
  }
  switch (message) {
    case WM_CREATE: {
      SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
      HMENU menu = GetSystemMenu(window_, FALSE);
      RemoveMenu(menu, SC_SIZE, MF_BYCOMMAND);
      RemoveMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
      CreateControls();
      BOOL animation = TRUE;
      SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animation, 0);
      model_.reducedMotion = !animation;
      ReadColours();
      SetTimer(window_, kTimerAnimation, 33, nullptr);
      taskbarCreatedMessage_ = ui::TaskbarButton::CreatedMessage(window_);
      UpdateControls();
      created_ = true;
      return 0;
    }
    case WM_DESTROY:
      KillTimer(window_, kTimerAnimation);
      KillTimer(window_, kTimerLaunch);
      taskbar_.Clear();
      liveRegion_.Detach();
      // A window whose creation failed ends no message loop: the entry reports
      // the failure, and a pending quit would close its message box at once.
      if (created_) PostQuitMessage(static_cast<int>(model_.exitCode));
      return 0;
    case WM_NCDESTROY: {
      LRESULT result = DefWindowProcW(window_, message, wParam, lParam);
      window_ = nullptr;
      primary_ = secondary_ = close_ = minimize_ = showLog_ = status_ = copy_ = rememberedFocus_ = nullptr;
      return result;
    }
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) {
        device_.Resize(LOWORD(lParam), HIWORD(lParam));
        Relayout();
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) rememberedFocus_ = focus;
      }
      break;
    case WM_SETFOCUS: {
      auto usable = [](HWND c) { return c && IsWindowVisible(c) && IsWindowEnabled(c); };
      if (usable(rememberedFocus_)) {
        SetFocus(rememberedFocus_);
        return 0;
      }
      if (usable(primary_)) {
        SetFocus(primary_);
        return 0;
      }
      break;
    }
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CLOSE:
      controller_.CloseRequest();
      return 0;
    case WM_SETTINGCHANGE:
      if (wParam == 0 || wParam == SPI_SETCLIENTAREAANIMATION) {
        BOOL animation = TRUE;
        SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animation, 0);
        model_.reducedMotion = !animation;
      }
      if (wParam == SPI_SETHIGHCONTRAST) ReadColours();
      break;
    case WM_SYSCOLORCHANGE:
      ReadColours();
      break;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return 1;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_GETMINMAXINFO:
      if (fixedTrack_.cx > 0 && fixedTrack_.cy > 0) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {fixedTrack_.cx, fixedTrack_.cy};
        info->ptMaxTrackSize = {fixedTrack_.cx, fixedTrack_.cy};
        return 0;
      }
      break;
    case WM_DRAWITEM:
      InvalidateRect(window_, nullptr, FALSE);
      return 1;
    case WM_NCCALCSIZE:
      if (wParam) return 0;  // the client area is the whole window
      break;
    case WM_NCHITTEST: {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(window_, &point);
      if (IndicatorAtClientPoint(point.x, point.y) >= 0) return HTCLIENT;
      return HTCAPTION;  // any empty spot drags the window
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == 0) controller_.OnCommand(LOWORD(wParam));
      return 0;
    case WM_SYSCOMMAND: {
      WPARAM command = wParam & 0xFFF0;
      if (command == SC_SIZE || command == SC_MAXIMIZE) return 0;
      if (command == SC_MINIMIZE && model_.stopConfirmationShown) return 0;
      break;
    }
    case WM_TIMER:
      if (wParam == kTimerLaunch) {
        controller_.LaunchApplication();
      } else if (wParam == kTimerAnimation && !IsIconic(window_)) {
        Tick();
      }
      return 0;
    case WM_NCLBUTTONDBLCLK:
      return 0;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
#ifdef TAVO_TEST_HOOKS
      // The status control asks for its colours only when it paints itself.
      if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == status_) ++statusSelfPaints_;
#endif
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    case WM_LBUTTONDOWN: {
      const int tip = IndicatorAtClientPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      if (tip >= 0) {
        model_.SelectTip(tip, Now());
        InvalidateRect(window_, nullptr, FALSE);
      }
      return 0;
    }
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      fixedTrack_ = {suggested->right - suggested->left, suggested->bottom - suggested->top};
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, fixedTrack_.cx, fixedTrack_.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_USER: {
      // Focus query: "SK" in the high word and the focused control's id.
      HWND focus = GetFocus();
      if (focus && focus != window_ && IsChild(window_, focus) && IsWindowVisible(focus) && IsWindowEnabled(focus)) {
        return 0x534B0000 + GetDlgCtrlID(focus);
      }
      if (primary_ && IsWindowVisible(primary_) && IsWindowEnabled(primary_)) return 0x534B03E9;
      return 0;
    }
#ifdef TAVO_TEST_HOOKS
    case ui::kMsgTestStatusSelfPaints:
      return statusSelfPaints_;
    case ui::kMsgTestCurrentTip:
      return model_.currentTip;
#endif
    case kMsgWorkerEvent: {
      std::unique_ptr<WorkerEvent> event(reinterpret_cast<WorkerEvent*>(lParam));
#ifdef TAVO_TEST_HOOKS
      // Tests make a handler fail on an event of this type, to see how the failure ends the window.
      if (const wchar_t* type = _wgetenv(L"TAVO_TEST_HOOK_THROW_ON_EVENT"); type && event->type == type)
        throw std::runtime_error("test hook: a message handler failed");
#endif
      controller_.OnWorkerEvent(*event);
      return 0;
    }
    case kMsgWorkerExit:
      controller_.OnWorkerExit(static_cast<uint32_t>(wParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK SetupWindow::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR) {
  SetupWindow* self = g_window;
  if (!self) return DefSubclassProc(control, message, wParam, lParam);
  return self->OnControlMessage(control, message, wParam, lParam, static_cast<int>(id));
}

LRESULT SetupWindow::OnControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam, int id) {
  bool isButton = id != kIdStatusText;
  auto invalidate = [&] {
    if (window_) InvalidateRect(window_, nullptr, FALSE);
  };
  switch (message) {
    case WM_SETFOCUS: {
      if (isButton) rememberedFocus_ = control;
      LRESULT result = DefSubclassProc(control, message, wParam, lParam);
      invalidate();
      return result;
    }
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case BM_SETSTATE:
    case WM_UPDATEUISTATE: {
      LRESULT result = DefSubclassProc(control, message, wParam, lParam);
      invalidate();
      return result;
    }
    case WM_SETTEXT: {
      // Not the class procedure: a static control repaints itself at once in
      // the system font over the frame; the frame draws every text itself.
      LRESULT result = DefWindowProcW(control, message, wParam, lParam);
      invalidate();
      return result;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(control, &paint);
      EndPaint(control, &paint);
      return 0;
    }
    case WM_SETCURSOR:
      if (isButton && IsWindowEnabled(control)) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return 1;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_GETDLGCODE:
      if (isButton && GetFocus() == control) {
        return DefSubclassProc(control, message, wParam, lParam) | DLGC_DEFPUSHBUTTON;
      }
      break;
    case BM_SETSTYLE:
      if (isButton) {
        invalidate();
        return 0;  // dialog navigation must not restyle the owner-drawn buttons
      }
      break;
    case WM_MOUSEMOVE:
      if (isButton && hovered_ != id) {
        hovered_ = id;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, control, 0};
        TrackMouseEvent(&track);
        invalidate();
      }
      break;
    case WM_MOUSELEAVE:
      if (hovered_ == id) {
        hovered_ = 0;
        invalidate();
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(control, ControlProc, static_cast<UINT_PTR>(id));
      break;
    default:
      break;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace tavo::launcher
