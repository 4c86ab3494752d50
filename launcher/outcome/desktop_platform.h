// The adapter through which the setup logic reaches Windows: the worker
// session, the report files, telemetry, the shell, the clipboard and
// application activation. What the logic asks of the window itself (clock,
// controls, focus, timers) goes on to the window.
#pragma once

#include <windows.h>

#include <memory>

#include "launcher/start/launch_options.h"
#include "launcher/outcome/setup_platform.h"
#include "launcher/ui/model/screen_model.h"
#include "launcher/session/worker_session.h"

namespace tavo::launcher {

// The part of SetupPlatform that the window implements.
class WindowActions {
 public:
  virtual ~WindowActions() = default;
  virtual HWND Handle() const = 0;
  virtual uint64_t Now() = 0;
  virtual void UpdateControls() = 0;
  virtual void FlashIfMinimised() = 0;
  virtual void FocusPrimary() = 0;
  virtual void MinimizeWindow() = 0;
  virtual void DestroyWindow() = 0;
  virtual void SetLaunchTimer(uint32_t milliseconds) = 0;
  virtual void SetCloseTimer(uint32_t milliseconds) = 0;
};

class DesktopPlatform final : public SetupPlatform {
 public:
  DesktopPlatform(WindowActions& window, ScreenModel& model, const LaunchOptions& options)
      : window_(window), model_(model), options_(options) {}
  ~DesktopPlatform() override = default;  // the session ends the worker
  DesktopPlatform(const DesktopPlatform&) = delete;
  DesktopPlatform& operator=(const DesktopPlatform&) = delete;

  uint64_t Now() override { return window_.Now(); }
  void UpdateControls() override { window_.UpdateControls(); }
  void FlashIfMinimised() override { window_.FlashIfMinimised(); }
  void FocusPrimary() override { window_.FocusPrimary(); }
  void MinimizeWindow() override { window_.MinimizeWindow(); }
  void DestroyWindow() override { window_.DestroyWindow(); }
  void SetLaunchTimer(uint32_t milliseconds) override { window_.SetLaunchTimer(milliseconds); }
  void SetCloseTimer(uint32_t milliseconds) override { window_.SetCloseTimer(milliseconds); }

  void StartWorker(const SessionRequest& request, SessionPaths& paths) override;
  void ReleaseWorker(bool force) override { session_.Release(force); }
  void WriteCancelByte() override { session_.WriteCancelByte(); }
  bool ReportReady(const std::wstring& path, const ReportIdentity& identity) override;
  uint32_t WriteFallbackReport() override;
  void SendTelemetry(const OutcomeTelemetry& telemetry) override;
  void OpenUrl(const std::wstring& url) override;
  void ShowInExplorer(const std::wstring& path) override;
  bool CopyToClipboard(const std::wstring& text) override;
  uint32_t WindowsBuild() override;
  int32_t ActivateApplication(const std::wstring& aumid, std::wstring& operation) override;
  bool OpenInAppsFolder(const std::wstring& target, uint32_t& lastError) override;

  // The record of a worker-event message, if the session's reader posted it.
  std::unique_ptr<WorkerEvent> ClaimWorkerEvent(LPARAM lParam) { return session_.ClaimEvent(lParam); }

 private:
  WindowActions& window_;
  ScreenModel& model_;
  const LaunchOptions& options_;
  WorkerSession session_;
};

}  // namespace tavo::launcher
