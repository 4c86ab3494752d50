// The setup window: class `Tavo.Setup`, its controls (real child windows for
// focus, accessibility and hit testing), the window and control procedures, the
// timers, and the adapter through which the setup logic reaches Windows.
#pragma once

#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "launcher/launch_options.h"
#include "launcher/setup_controller.h"
#include "launcher/setup_platform.h"
#include "launcher/ui/controls_layout.h"
#include "launcher/ui/screen_model.h"
#include "launcher/worker_session.h"

namespace tavo::launcher {

class SetupWindow final : public SetupPlatform {
 public:
  SetupWindow(const LaunchOptions& options, std::wstring visitorId, std::unique_ptr<LayoutMeasure> measure);
  ~SetupWindow() override;
  SetupWindow(const SetupWindow&) = delete;
  SetupWindow& operator=(const SetupWindow&) = delete;

  // Registers the class and creates the window (not shown). Throws hresult_error.
  void Create(HINSTANCE instance);
  void Show(int showCommand);
  // Destroys the window if it still exists.
  void Destroy();
  HWND Handle() const { return window_; }
  ScreenModel& Model() { return model_; }
  SetupController& Controller() { return controller_; }

  // Keyboard handling before IsDialogMessageW; true when the message was consumed.
  bool PreTranslate(MSG& message);
  // A failure thrown inside a message handler, kept for the entry to handle
  // after the message loop (exceptions must not cross DispatchMessageW).
  std::exception_ptr TakeFailure() { return std::exchange(failure_, nullptr); }

  // SetupPlatform
  uint64_t Now() override;
  void UpdateControls() override;
  void FlashIfMinimised() override;
  void FocusPrimary() override;
  void MinimizeWindow() override;
  void DestroyWindow() override { Destroy(); }
  void SetLaunchTimer(uint32_t milliseconds) override;
  void StartWorker(const SessionRequest& request, SessionPaths& paths) override;
  void ReleaseWorker(bool force) override;
  void WriteCancelByte() override;
  bool ReportReady(const std::wstring& path, const ReportIdentity& identity) override;
  uint32_t WriteFallbackReport() override;
  void SendTelemetry(const OutcomeTelemetry& telemetry) override;
  void OpenUrl(const std::wstring& url) override;
  void ShowInExplorer(const std::wstring& path) override;
  bool CopyToClipboard(const std::wstring& text) override;
  uint32_t WindowsBuild() override;
  int32_t ActivateApplication(const std::wstring& aumid, std::wstring& operation) override;
  bool OpenInAppsFolder(const std::wstring& target, uint32_t& lastError) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam, int id);
  void CreateControls();
  void Relayout();
  void PlaceControls();
  void ApplyFocus(const Controls& controls);
  void Tick();
  void Paint();
  HWND Control(int id) const;
  bool OnProgressScreen() const;

  const LaunchOptions& options_;
  ScreenModel model_;
  SetupController controller_;
  WorkerSession session_;
  std::unique_ptr<LayoutMeasure> measure_;
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HWND primary_ = nullptr, secondary_ = nullptr, close_ = nullptr, minimize_ = nullptr, showLog_ = nullptr,
       status_ = nullptr, copy_ = nullptr;
  HWND rememberedFocus_ = nullptr;
  int hovered_ = 0;
  Controls controls_;
  float scale_ = 1.0f, offsetX_ = 0.0f, offsetY_ = 0.0f;
  SIZE fixedTrack_{0, 0};
  uint64_t startTick_ = 0;
  uint64_t lastTick_ = 0;
  int currentTip_ = 0;
  uint64_t tipDwell_ = 0;
  std::exception_ptr failure_;
  bool created_ = false;  // WM_CREATE succeeded
};

// The window object the window procedure reaches; set before the window is
// created and cleared after the message loop.
SetupWindow* PublishedWindow();
void PublishWindow(SetupWindow* window);

}  // namespace tavo::launcher
