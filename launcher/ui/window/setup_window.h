// The setup window: class `Tavo.Setup`, its controls (real child windows for
// focus, accessibility and hit testing), placement and the DPI rule, the
// window and control procedures, keyboard handling, the timers and the paint.
// What the setup logic needs from Windows beyond the window goes through
// DesktopPlatform.
#pragma once

#include <windows.h>

#include <exception>
#include <optional>
#include <string>

#include "launcher/outcome/desktop_platform.h"
#include "launcher/start/launch_options.h"
#include "launcher/outcome/setup_controller.h"
#include "launcher/ui/model/announcements.h"
#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/frame_inputs.h"
#include "launcher/ui/model/frame_key.h"
#include "launcher/ui/model/screen_model.h"
#include "launcher/ui/model/text_layout_measure.h"
#include "launcher/ui/model/text_measurer.h"
#include "launcher/ui/paint/frame_painter.h"
#include "launcher/ui/window/device_resources.h"
#include "launcher/ui/window/live_region.h"
#include "launcher/ui/window/rendering_resources.h"
#include "launcher/ui/window/taskbar_button.h"

namespace tavo::launcher {

class SetupWindow final : public WindowActions {
 public:
  // The drawing factories, fonts and measurer outlive the window object.
  SetupWindow(const LaunchOptions& options, std::wstring visitorId, const ui::RenderingResources& resources,
              ui::TextMeasurer& measurer);
  ~SetupWindow() override;
  SetupWindow(const SetupWindow&) = delete;
  SetupWindow& operator=(const SetupWindow&) = delete;

  // Registers the class and creates the window (not shown). Throws hresult_error.
  void Create(HINSTANCE instance);
  void Show(int showCommand);
  // Starts the worker session once the window's first frame is on screen, so
  // that expanding, writing and starting the worker never delay it; at once
  // for a window that shows no frame (a check run's hidden one, a minimised
  // one). Call after Show.
  void StartWorkerSessionAfterFirstFrame(bool checkOnly);
  // This window will not install (a refused account): a second setup must not
  // take it for the one that does.
  void ForgoInstallRunMark();
  // Destroys the window if it still exists.
  void Destroy();
  ScreenModel& Model() { return model_; }
  SetupController& Controller() { return controller_; }
  // The launcher's own report (check runs refused by the gate).
  uint32_t WriteFallbackReport() { return platform_.WriteFallbackReport(); }

  // Preview: the first tip, then the --state screen or the simulated run.
  void StartPreview();
  // Screenshot mode: freezes the clock and renders the current screen to a
  // PNG file at `scale`. Throws hresult_error.
  void CaptureScreenshot(const std::wstring& path, float scale);

  // Keyboard handling before IsDialogMessageW; true when the message was consumed.
  bool PreTranslate(MSG& message);
  // A failure thrown inside a message handler, kept for the entry to handle
  // after the message loop (exceptions must not cross DispatchMessageW).
  std::exception_ptr TakeFailure() { return std::exchange(failure_, nullptr); }

  // WindowActions
  HWND Handle() const override { return window_; }
  uint64_t Now() override { return model_.Elapsed(GetTickCount64()); }
  void UpdateControls() override;
  void FlashIfMinimised() override;
  void FocusPrimary() override;
  void MinimizeWindow() override;
  void DestroyWindow() override { Destroy(); }
  void SetLaunchTimer(uint32_t milliseconds) override;
  void SetCloseTimer(uint32_t milliseconds) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data);
  static constexpr UINT_PTR kTimerAnimation = 1;
  static constexpr UINT_PTR kTimerLaunch = 2;
  static constexpr UINT_PTR kTimerClose = 3;

  // The window procedure's dispatch; the handlers answer, or leave the
  // message to the default procedure (nothing).
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Life cycle, size and DPI, paint (setup_window_messages.cpp)
  std::optional<LRESULT> OnCreate();
  std::optional<LRESULT> OnDestroy();
  std::optional<LRESULT> OnNcDestroy(WPARAM wParam, LPARAM lParam);
  std::optional<LRESULT> OnStartSession();
  // A session still waiting for the first frame starts now (a close, a
  // minimise or a failed post cannot wait for it).
  void StartPendingSession();
  std::optional<LRESULT> OnSize(WPARAM wParam, LPARAM lParam);
  std::optional<LRESULT> OnGetMinMaxInfo(LPARAM lParam);
  std::optional<LRESULT> OnDpiChanged(LPARAM lParam);
  std::optional<LRESULT> OnControlColours(UINT message, WPARAM wParam, LPARAM lParam);
  // Input and focus (setup_window_input.cpp)
  std::optional<LRESULT> OnActivate(WPARAM wParam);
  std::optional<LRESULT> OnSetFocus();
  std::optional<LRESULT> OnFocusQuery();
  std::optional<LRESULT> OnSetCursor(LPARAM lParam);
  std::optional<LRESULT> OnNcHitTest(LPARAM lParam);
  std::optional<LRESULT> OnLButtonDown(LPARAM lParam);
  std::optional<LRESULT> OnCommand(WPARAM wParam);
  std::optional<LRESULT> OnSysCommand(WPARAM wParam);
  // Timers, the worker, accessibility and theme (setup_window_messages.cpp)
  std::optional<LRESULT> OnTimer(WPARAM wParam);
  std::optional<LRESULT> OnWorkerEvent(LPARAM lParam);
  std::optional<LRESULT> OnTaskbarCreated();
  void OnSettingChange(WPARAM wParam);
  void ReadReducedMotion();
  // The controls' own procedure (setup_window_input.cpp)
  LRESULT OnControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam, int id);
  void CreateControls();
  void Relayout();
  void PlaceControls();
  void ApplyFocus(const Controls& controls);
  // The colours (and the frame's) for the current theme; repaints.
  void ReadColours();
  void Tick();
  // Cloaked (another virtual desktop) or, as the render target last found, covered whole.
  bool Occluded() const;
  void Paint();
  void PaintFrame();
  void PaintFallback(HDC dc);
  ui::FrameInputs CurrentFrameInputs();
  ui::FrameTools Tools();
  // The tip indicator under a client point while the carousel takes clicks, or -1.
  int IndicatorAtClientPoint(int x, int y) const;
  HWND Control(int id) const;
  bool OnProgressScreen() const;

  const LaunchOptions& options_;
  ScreenModel model_;
  DesktopPlatform platform_;
  SetupController controller_;
  const ui::RenderingResources& resources_;
  ui::TextMeasurer& measurer_;
  TextLayoutMeasure layoutMeasure_;
  ui::DeviceResources device_;
  ui::BalancedWidths balancedWidths_;  // lives as long as the window object
  ui::FrameCache frameCache_;          // what frames take over from the frames before
  std::optional<ui::FrameKey> lastDrawn_;  // the last frame drawn in full, none after a failed one
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HWND primary_ = nullptr, secondary_ = nullptr, close_ = nullptr, minimize_ = nullptr, showLog_ = nullptr,
       status_ = nullptr, copy_ = nullptr;
  HWND rememberedFocus_ = nullptr;
  int hovered_ = 0;
  Controls controls_;
  ui::Colours colours_;  // read at creation and when the theme or the system colours change
  float scale_ = 1.0f, offsetX_ = 0.0f, offsetY_ = 0.0f;
  SIZE fixedTrack_{0, 0};
  uint64_t lastTick_ = 0;
  std::exception_ptr failure_;
  bool created_ = false;  // WM_CREATE succeeded
  bool firstFrameRecorded_ = false;
  // The session waits for the first frame (StartWorkerSessionAfterFirstFrame):
  // pending until a frame was painted, then posted as kMsgStartSession.
  enum class SessionStart { None, Pending, Posted } sessionStart_ = SessionStart::None;
  // Once the window is shown (never in check runs or screenshots), screen
  // readers hear the status control's changes and the taskbar button
  // mirrors the progress.
  ui::LiveRegion liveRegion_;
  std::optional<ui::AnnouncementKey> announced_;
  ui::TaskbarButton taskbar_;
  UINT taskbarCreatedMessage_ = 0;
  bool shownToUser_ = false;
#ifdef TAVO_TEST_HOOKS
  int statusSelfPaints_ = 0;
#endif
};

// The window object the window procedure reaches; set before the window is
// created and cleared after the message loop.
SetupWindow* PublishedWindow();
void PublishWindow(SetupWindow* window);

}  // namespace tavo::launcher
