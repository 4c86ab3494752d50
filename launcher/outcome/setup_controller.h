// The launcher's logic between the worker and the screen: worker events and
// exit, the user's commands, the compatibility refusal, session start and its
// failures, and opening the installed application. Runs on the window thread.
#pragma once

#include <cstdint>
#include <string>

#include "launcher/start/compatibility_gate.h"
#include "launcher/start/launch_options.h"
#include "launcher/outcome/setup_platform.h"
#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/screen_model.h"
#include "launcher/session/worker_event.h"

namespace tavo::launcher {

// How long an unattended (--passive) outcome screen stays before it closes:
// long enough to read the outcome's two or three lines.
inline constexpr uint32_t kPassiveCloseMs = 8000;

class SetupController {
 public:
  SetupController(ScreenModel& model, const LaunchOptions& options, std::wstring visitorId, SetupPlatform& platform);

  // Starts a worker session (first run, "Try again", "Install Tavo Studio").
  // Failures end on the `error` screen with a record and the fallback report.
  void StartWorkerSession(bool checkOnly);
  // The gate refused this PC: `unsupported` screen, record, telemetry.
  void Refuse(const Refusal& refusal, const HostFacts& facts);
  // Setup runs as someone else than the desktop's person and could not start
  // for them: the `error` screen with the sentence and code, without "Try
  // again" (it would install for the wrong person) and without telemetry
  // (nothing is written in this account's profile).
  void RefuseAccount(const ErrorRecord& record);

  void OnWorkerEvent(const WorkerEvent& event);
  void OnWorkerExit(uint32_t code);

  // A command id of a control (or IDCANCEL); notification code 0 only.
  void OnCommand(int id);
  // Window close, caption close, Escape without the overlay, "Close" buttons.
  void CloseRequest();
  // Timer 2 and "Open Tavo Studio".
  void LaunchApplication();
  // Timer 3 (--passive): an outcome screen that has been read closes by itself.
  void CloseTimerFired();
  // Preview: back to `preparing` with the simulated run.
  void ResetToStart();
  // Preview: the simulated run moves the screens on (animation tick). It
  // waits while the stop confirmation is up or on `stopping`; its clock runs on.
  void AdvanceDemo();

  // The model as the controls and the report see it.
  ControlsInput CurrentControlsInput();
  // The details text that "Copy details" puts on the clipboard.
  std::wstring DetailsText();

  // Test builds and the window's tick read the model through here.
  const ScreenModel& Model() const { return model_; }

 private:
  void GoTo(Screen screen);
  void ConfirmStop();
  void CopyDetails();
  void Send(const wchar_t* outcome, uint32_t code, bool userCancelled = false);
  // An unattended run on an outcome: silent ends now, passive after a while.
  void FinishUnattended();

  ScreenModel& model_;
  const LaunchOptions& options_;
  std::wstring visitorId_;
  SetupPlatform& platform_;
};

// The code text of a `diagnostic` event: "0x"/"0X" hexadecimal, a leading 0
// octal, otherwise decimal; reading stops at the first character that does not fit.
uint32_t ParseCodeText(const std::wstring& text);

// The maker's pages, opened in the browser.
std::wstring SupportPageUrl();
std::wstring DownloadPageUrl();

}  // namespace tavo::launcher
