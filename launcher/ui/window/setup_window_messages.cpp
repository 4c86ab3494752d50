// The setup window's procedure: a dispatch to handlers by concern: life
// cycle, size and DPI, paint, input and focus (setup_window_input.cpp),
// timers, the worker's messages, and accessibility and theme.
#include "launcher/ui/window/setup_window.h"

#include <dwmapi.h>

#include <stdexcept>

#include "launcher/ui/window/window_class.h"

namespace tavo::launcher {

LRESULT CALLBACK SetupWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SetupWindow* self = PublishedWindow();
  // One setup window per process: the first message of the new window binds it.
  if (!self || (self->window_ && self->window_ != window)) return DefWindowProcW(window, message, wParam, lParam);
  if (!self->window_) self->window_ = window;
  // Once a handler failed, the entry ends the run: worker messages already
  // queued must not move the setup logic on (or send a second failure), so
  // everything but the window's last message goes to the default handling.
  if (self->failure_ && message != WM_NCDESTROY) return DefWindowProcW(window, message, wParam, lParam);
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
  std::optional<LRESULT> result;
  if (message == taskbarCreatedMessage_ && message != 0) return *OnTaskbarCreated();
  switch (message) {
    // Life cycle
    case WM_CREATE: result = OnCreate(); break;
    case WM_CLOSE: StartPendingSession(); controller_.CloseRequest(); result = 0; break;
    case WM_DESTROY: result = OnDestroy(); break;
    case WM_NCDESTROY: result = OnNcDestroy(wParam, lParam); break;
    // Size and DPI
    case WM_SIZE: result = OnSize(wParam, lParam); break;
    case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(lParam); break;
    case WM_DPICHANGED: result = OnDpiChanged(lParam); break;
    // The client area is the whole window, from creation on (wParam FALSE):
    // WM_CREATE's render target then has the size the first frame draws at.
    case WM_NCCALCSIZE: result = 0; break;
    // Paint: the frame draws everything, the controls nothing
    case WM_PAINT: Paint(); result = 0; break;
    case WM_ERASEBKGND: result = 1; break;
    case WM_DRAWITEM: InvalidateRect(window_, nullptr, FALSE); result = 1; break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: result = OnControlColours(message, wParam, lParam); break;
    // Input and focus
    case WM_ACTIVATE: result = OnActivate(wParam); break;
    case WM_SETFOCUS: result = OnSetFocus(); break;
    case WM_USER: result = OnFocusQuery(); break;
    case WM_SETCURSOR: result = OnSetCursor(lParam); break;
    case WM_NCHITTEST: result = OnNcHitTest(lParam); break;
    case WM_LBUTTONDOWN: result = OnLButtonDown(lParam); break;
    case WM_NCLBUTTONDBLCLK: result = 0; break;  // no maximise by double-click
    case WM_COMMAND: result = OnCommand(wParam); break;
    case WM_SYSCOMMAND: result = OnSysCommand(wParam); break;
    // Timers
    case WM_TIMER: result = OnTimer(wParam); break;
    // The worker
    case kMsgWorkerEvent: result = OnWorkerEvent(lParam); break;
    case kMsgWorkerExit: controller_.OnWorkerExit(static_cast<uint32_t>(wParam)); result = 0; break;
    case ui::kMsgStartSession: result = OnStartSession(); break;
    // Accessibility and theme
    case WM_SETTINGCHANGE: OnSettingChange(wParam); break;
    case WM_SYSCOLORCHANGE: ReadColours(); break;
#ifdef TAVO_TEST_HOOKS
    case ui::kMsgTestStatusSelfPaints: result = statusSelfPaints_; break;
    case ui::kMsgTestCurrentTip: result = model_.currentTip; break;
#endif
    default: break;
  }
  return result ? *result : DefWindowProcW(window_, message, wParam, lParam);
}

std::optional<LRESULT> SetupWindow::OnCreate() {
  SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  HMENU menu = GetSystemMenu(window_, FALSE);
  RemoveMenu(menu, SC_SIZE, MF_BYCOMMAND);
  RemoveMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  CreateControls();
  ReadReducedMotion();
  ReadColours();
  SetTimer(window_, kTimerAnimation, 33, nullptr);
  taskbarCreatedMessage_ = ui::TaskbarButton::CreatedMessage(window_);
  // The render target is made now, while DirectWrite's first-use work runs
  // on its own thread (RenderingResources::WarmUpInBackground), instead of
  // one after the other in the first paint.
  if (!options_.silent && !options_.checkOnly && options_.screenshotPath.empty()) {
    try {
      device_.EnsureForWindow(window_, scale_);
    } catch (const hresult_error&) {
      // The first paint tries again from nothing, and draws its GDI text if
      // it fails too.
      device_.Release();
    }
  }
  UpdateControls();
  created_ = true;
  return 0;
}

std::optional<LRESULT> SetupWindow::OnDestroy() {
  KillTimer(window_, kTimerAnimation);
  KillTimer(window_, kTimerLaunch);
  KillTimer(window_, kTimerClose);
  taskbar_.Clear();
  liveRegion_.Detach();
  // A window whose creation failed ends no message loop: the entry reports
  // the failure, and a pending quit would close its message box at once.
  if (created_) PostQuitMessage(static_cast<int>(model_.exitCode));
  return 0;
}

std::optional<LRESULT> SetupWindow::OnNcDestroy(WPARAM wParam, LPARAM lParam) {
  LRESULT result = DefWindowProcW(window_, WM_NCDESTROY, wParam, lParam);
  window_ = nullptr;
  primary_ = secondary_ = close_ = minimize_ = showLog_ = status_ = copy_ = rememberedFocus_ = nullptr;
  return result;
}

void SetupWindow::StartPendingSession() {
  if (sessionStart_ == SessionStart::None) return;
  sessionStart_ = SessionStart::None;
  controller_.StartWorkerSession(false);
}

std::optional<LRESULT> SetupWindow::OnStartSession() {
  // Only the message the first frame posted; one from elsewhere does nothing.
  if (sessionStart_ == SessionStart::Posted) StartPendingSession();
  return 0;
}

std::optional<LRESULT> SetupWindow::OnSize(WPARAM wParam, LPARAM lParam) {
  // Minimised before its first frame: no frame comes, the session starts now.
  if (wParam == SIZE_MINIMIZED) StartPendingSession();
  if (wParam != SIZE_MINIMIZED) {
    device_.Resize(LOWORD(lParam), HIWORD(lParam));
    Relayout();
  }
  return 0;
}

std::optional<LRESULT> SetupWindow::OnGetMinMaxInfo(LPARAM lParam) {
  if (fixedTrack_.cx <= 0 || fixedTrack_.cy <= 0) return std::nullopt;
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  info->ptMinTrackSize = {fixedTrack_.cx, fixedTrack_.cy};
  info->ptMaxTrackSize = {fixedTrack_.cx, fixedTrack_.cy};
  return 0;
}

std::optional<LRESULT> SetupWindow::OnDpiChanged(LPARAM lParam) {
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  fixedTrack_ = {suggested->right - suggested->left, suggested->bottom - suggested->top};
  SetWindowPos(window_, nullptr, suggested->left, suggested->top, fixedTrack_.cx, fixedTrack_.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

std::optional<LRESULT> SetupWindow::OnControlColours(UINT message, WPARAM wParam, LPARAM lParam) {
#ifdef TAVO_TEST_HOOKS
  // The status control asks for its colours only when it paints itself.
  if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == status_) ++statusSelfPaints_;
#else
  (void)message;
  (void)lParam;
#endif
  SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

std::optional<LRESULT> SetupWindow::OnTimer(WPARAM wParam) {
  if (wParam == kTimerLaunch) {
    controller_.LaunchApplication();
  } else if (wParam == kTimerClose) {
    KillTimer(window_, kTimerClose);
    controller_.CloseTimerFired();
  } else if (wParam == kTimerAnimation) {
    Tick();
  }
  return 0;
}

void SetupWindow::Tick() {
  // Minimised, the window neither animates nor draws; its clocks read the
  // time again when it is back.
  const bool minimised = IsIconic(window_) != FALSE;
  if (!minimised) {
    if (model_.AnimationTick(Now(), lastTick_)) UpdateControls();
    if (options_.preview) controller_.AdvanceDemo();
  }
  const bool occluded = !minimised && Occluded();
  // A frame presented while covered may never have been shown: once the
  // window is seen again, the next tick draws whatever the key says.
  if (occluded) lastDrawn_.reset();
  const bool unchanged = lastDrawn_ && *lastDrawn_ == ui::KeyOf(CurrentFrameInputs());
  if (ui::TickDrawsFrame({minimised, occluded, unchanged})) InvalidateRect(window_, nullptr, FALSE);
}

bool SetupWindow::Occluded() const {
  DWORD cloaked = 0;
  if (SUCCEEDED(DwmGetWindowAttribute(window_, DWMWA_CLOAKED, &cloaked, sizeof(cloaked))) && cloaked) return true;
  return device_.Occluded();
}

std::optional<LRESULT> SetupWindow::OnWorkerEvent(LPARAM lParam) {
  std::unique_ptr<WorkerEvent> event = platform_.ClaimWorkerEvent(lParam);
  if (!event) return 0;  // not posted by the session's reader
#ifdef TAVO_TEST_HOOKS
  // Tests make a handler fail on an event of this type, to see how the failure ends the window.
  if (const wchar_t* type = _wgetenv(L"TAVO_TEST_HOOK_THROW_ON_EVENT"); type && event->type == type)
    throw std::runtime_error("test hook: a message handler failed");
#endif
  controller_.OnWorkerEvent(*event);
  return 0;
}

std::optional<LRESULT> SetupWindow::OnTaskbarCreated() {
  if (shownToUser_) taskbar_.OnCreated(window_, ui::TaskbarProgressFor(model_));
  return 0;
}

void SetupWindow::OnSettingChange(WPARAM wParam) {
  if (wParam == 0 || wParam == SPI_SETCLIENTAREAANIMATION) ReadReducedMotion();
  if (wParam == SPI_SETHIGHCONTRAST) ReadColours();
}

void SetupWindow::ReadReducedMotion() {
  BOOL animation = TRUE;
  SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animation, 0);
  model_.reducedMotion = !animation;
}

}  // namespace tavo::launcher
