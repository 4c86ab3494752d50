// What the setup logic asks of the window, the worker session and the shell.
// The window implements it over Windows; tests implement it with fakes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/diagnostics/error_record.h"
#include "launcher/ui/model/screen_model.h"
#include "launcher/session/worker_command.h"

namespace tavo::launcher {

// What starting a worker session needs.
struct SessionRequest {
  WorkerMode mode = WorkerMode::InstallOpenExisting;
  bool verbose = false;
  std::wstring reportPath;  // the --report path; empty: the session folder's install.json
  std::wstring visitorId;
};

// What a session start produced; filled step by step, so a failed start still
// tells which report path it chose.
struct SessionPaths {
  std::wstring sessionFolder;
  std::wstring workerPath;
  std::wstring reportPath;
  ReportIdentity reportIdentity;
};

// One outcome telemetry send of the launcher.
struct OutcomeTelemetry {
  std::wstring outcome;  // "failed", "unsupported", "cancelled", "launch_failed"
  uint32_t code = 0;
  std::vector<ErrorRecord> errors;
  bool userCancelled = false;
};

class SetupPlatform {
 public:
  virtual ~SetupPlatform() = default;

  // Milliseconds since the window object was created.
  virtual uint64_t Now() = 0;
  // Recomputes and places the controls from the model (Update controls).
  virtual void UpdateControls() = 0;
  // Flashes the taskbar button when the window is minimised.
  virtual void FlashIfMinimised() = 0;
  virtual void FocusPrimary() = 0;
  virtual void MinimizeWindow() = 0;
  virtual void DestroyWindow() = 0;
  // Timer 2, which opens the installed application; 0 kills it.
  virtual void SetLaunchTimer(uint32_t milliseconds) = 0;
  // Timer 3 after `milliseconds` (0: never): an unattended outcome closes.
  virtual void SetCloseTimer(uint32_t milliseconds) = 0;

  // Starts the worker (folder, file, pipes, process, job, reader); throws
  // hresult_error or a standard exception.
  virtual void StartWorker(const SessionRequest& request, SessionPaths& paths) = 0;
  // Ends the session: closes the worker's input, waits (or not, when forced),
  // joins the reader, drops queued worker messages, deletes the worker file.
  virtual void ReleaseWorker(bool force) = 0;
  // Writes the cancel byte to the worker's standard input, if it is open.
  virtual void WriteCancelByte() = 0;
  // The report file exists, is not a folder and differs from `identity`.
  virtual bool ReportReady(const std::wstring& path, const ReportIdentity& identity) = 0;
  // Writes the launcher's own report; returns 0 or a failure code.
  virtual uint32_t WriteFallbackReport() = 0;

  virtual void SendTelemetry(const OutcomeTelemetry& telemetry) = 0;
  virtual void OpenUrl(const std::wstring& url) = 0;
  virtual void ShowInExplorer(const std::wstring& path) = 0;
  // Puts the text on the clipboard; false on any failure.
  virtual bool CopyToClipboard(const std::wstring& text) = 0;
  virtual uint32_t WindowsBuild() = 0;

  // Application activation through the shell's activation manager: returns the
  // HRESULT and names the step that ran last in `operation`.
  virtual int32_t ActivateApplication(const std::wstring& aumid, std::wstring& operation) = 0;
  // The Apps folder fallback: true when the shell opened it; otherwise false
  // with the shell's last error, which may be 0.
  virtual bool OpenInAppsFolder(const std::wstring& target, uint32_t& lastError) = 0;
};

}  // namespace tavo::launcher
