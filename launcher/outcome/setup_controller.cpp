#include "launcher/outcome/setup_controller.h"

#include <cwchar>
#include <exception>

#include "build_info.h"
#include "common/diagnostics/catalogue.h"
#include "common/text.h"
#include "launcher/language/translation.h"
#include "launcher/start/launcher_codes.h"
#include "launcher/ui/model/preview_state.h"

namespace tavo::launcher {

namespace {

bool IsTerminal(const std::wstring& type) {
  return type == L"success" || type == L"installed" || type == L"error" || type == L"cancelled";
}

int32_t AsHresult(uint32_t code) { return static_cast<int32_t>(code); }

}  // namespace

uint32_t ParseCodeText(const std::wstring& text) {
  // wcstoul with base 0 reads exactly these prefixes; long is 32 bits on Windows,
  // and an out-of-range value saturates rather than wrapping.
  return static_cast<uint32_t>(std::wcstoul(text.c_str(), nullptr, 0));
}

std::wstring SupportPageUrl() { return std::wstring(L"https://") + build::kWebHost + L"/docs/support/"; }
std::wstring DownloadPageUrl() { return std::wstring(L"https://") + build::kWebHost + L"/download/"; }

SetupController::SetupController(ScreenModel& model, const LaunchOptions& options, std::wstring visitorId,
                                 SetupPlatform& platform)
    : model_(model), options_(options), visitorId_(std::move(visitorId)), platform_(platform) {}

void SetupController::GoTo(Screen screen) {
  if (model_.SetScreen(screen, platform_.Now()) && screen == Screen::Error) platform_.FlashIfMinimised();
}

void SetupController::Send(const wchar_t* outcome, uint32_t code, bool userCancelled) {
  if (!options_.InstallRun()) return;  // check and preview runs send nothing
  platform_.SendTelemetry(OutcomeTelemetry{outcome, code, model_.errors, userCancelled});
}

ControlsInput SetupController::CurrentControlsInput() {
  ControlsInput input;
  input.preview = options_.preview;
  input.installOnly = !options_.OpensApplication();
  // Only the error row depends on the report. Opening the file on other screens
  // would only race the worker's replacing write of it, which fails while the
  // file is open anywhere.
  input.reportReady = model_.screen == Screen::Error && platform_.ReportReady(model_.reportPath, model_.reportIdentity);
  return input;
}

void SetupController::StartWorkerSession(bool checkOnly) {
  if (model_.workerRunning || options_.preview) return;
  platform_.ReleaseWorker(false);

  model_.reportPath.clear();
  model_.errorCodeText.clear();
  model_.errors.clear();
  model_.technicalLog.clear();
  model_.reportIdentity = {};
  model_.workerRunning = true;
  model_.stopRequested = model_.closeAfterStop = model_.closeAfterWorker = model_.launchFailed = false;
  model_.stopConfirmationShown = false;
  model_.launchTarget.clear();
  model_.progress = -1;
  model_.displayedProgress = 0;
  GoTo(Screen::Preparing);
  model_.statusText = texts::kGettingReady;
  platform_.UpdateControls();

  SessionRequest request;
  request.mode = checkOnly ? WorkerMode::Check
                           : (options_.installOnly ? WorkerMode::Install : WorkerMode::InstallOpenExisting);
  request.verbose = options_.verbose;
  request.reportPath = options_.reportPath;
  request.visitorId = visitorId_;
  SessionPaths paths;
  uint32_t code = 0;
  std::wstring status;
  ErrorRecord record;
  try {
    platform_.StartWorker(request, paths);
    model_.reportPath = paths.reportPath;
    model_.reportIdentity = paths.reportIdentity;
    return;
  } catch (const hresult_error& error) {
    code = static_cast<uint32_t>(error.code());
    record = RecordFromWindowsError(L"launcher.prepare_worker", L"Preparing the deployment worker failed.", error);
    status = CatalogueMessage(error.code());
  } catch (const std::exception& error) {
    code = kCodePrepareWorkerException;
    record = RecordFromStdException(L"launcher.prepare_worker_exception", error, AsHresult(code));
    status = texts::kPrepareFailed;
  }
  // The report path the failed start chose still receives the launcher's report;
  // a file that was there before the start is not this run's report.
  model_.reportPath = paths.reportPath;
  model_.reportIdentity = paths.reportIdentity;
  model_.workerRunning = false;
  platform_.ReleaseWorker(false);
  GoTo(Screen::Error);
  model_.errorCodeText = Hex8(code);
  model_.AddError(std::move(record));
  model_.statusText = status;
  platform_.WriteFallbackReport();  // its own failure adds its record; the screen stays
  Send(L"failed", code);
  platform_.UpdateControls();
  // Also in an install run: closing the error screen must not end with 0.
  model_.exitCode = code;
  if (checkOnly) {
    platform_.DestroyWindow();
    return;
  }
  FinishUnattended();
}

void SetupController::FinishUnattended() {
  if (options_.silent) {
    platform_.DestroyWindow();
  } else if (options_.passive) {
    platform_.SetCloseTimer(kPassiveCloseMs);
  }
}

void SetupController::CloseTimerFired() {
  // "Try again" or a stop question may have come since the outcome.
  if (!IsOutcome(model_.screen) || model_.workerRunning || model_.stopConfirmationShown) return;
  platform_.DestroyWindow();
}

void SetupController::RefuseAccount(const ErrorRecord& record) {
  GoTo(Screen::Error);
  model_.statusText = CatalogueMessage(static_cast<int32_t>(kCodeWrongAccount));
  model_.errorCodeText = Hex8(kCodeWrongAccount);
  model_.exitCode = kCodeWrongAccount;
  model_.wrongAccount = true;
  model_.AddError(record);
  platform_.UpdateControls();
  FinishUnattended();
}

void SetupController::Refuse(const Refusal& refusal, const HostFacts& facts) {
  GoTo(Screen::Unsupported);
  model_.statusText = refusal.message;
  model_.errorCodeText = Hex8(refusal.code);
  model_.exitCode = refusal.code;
  model_.AddError(UnsupportedHostRecord(refusal, facts));
  Send(L"unsupported", refusal.code);
  platform_.UpdateControls();
  if (options_.passive) platform_.SetCloseTimer(kPassiveCloseMs);
}

void SetupController::OnWorkerEvent(const WorkerEvent& event) {
  if (event.type == L"report_ready") {
    platform_.UpdateControls();
    return;
  }
  if (event.type == L"diagnostic") {
    model_.AddError(MakeRecord(AsHresult(ParseCodeText(event.codeText)), event.title, event.detail));
    return;
  }
  if (event.type == L"launch") {
    model_.launchTarget = event.detail;
    return;
  }
  bool terminal = IsTerminal(event.type);
  if (model_.screen == Screen::Stopping || IsOutcome(model_.screen)) {
    if (!terminal) return;
  }
  if (terminal) model_.stopConfirmationShown = false;

  model_.progress = event.percent;
  model_.statusText = event.detail;
  const std::wstring& type = event.type;
  if (type == L"checking" || type == L"checked" || type == L"preparing") {
    GoTo(Screen::Preparing);
  } else if (type == L"installing") {
    GoTo(Screen::Installing);
  } else if (type == L"verifying") {
    GoTo(Screen::Verifying);
  } else if (type == L"success") {
    GoTo(Screen::Success);
    model_.statusText =
        OpensAutomatically(model_, !options_.OpensApplication()) ? texts::kOpeningFirstTime : texts::kInstalledUpdates;
  } else if (type == L"installed") {
    GoTo(Screen::Installed);
    model_.statusText = texts::kAlreadyInstalled;
  } else if (type == L"error") {
    GoTo(Screen::Error);
    model_.errorCodeText = event.codeText;
    model_.closeAfterStop = model_.closeAfterWorker = false;
  } else if (type == L"cancelled") {
    GoTo(Screen::Cancelled);
    model_.statusText = texts::kCancelled;
  }
  platform_.UpdateControls();
}

void SetupController::OnWorkerExit(uint32_t code) {
  model_.workerRunning = false;
  // Nothing is left to stop: the question must not stay over the outcome,
  // offering "Stop installing" for a worker that has ended.
  model_.stopConfirmationShown = false;
  platform_.ReleaseWorker(false);
  model_.exitCode = code;

  if (code != 0) {
    if (model_.screen != Screen::Error && model_.screen != Screen::Cancelled) {
      // A worker that reported its success keeps that screen: the package is
      // installed; only the record, the exit code and the telemetry follow.
      bool succeeded = model_.screen == Screen::Success || model_.screen == Screen::Installed;
      bool cancelled = !succeeded && model_.stopRequested && IsCancellationCode(code);
      if (!succeeded) {
        GoTo(cancelled ? Screen::Cancelled : Screen::Error);
        model_.errorCodeText = Hex8(code);
        model_.statusText = CatalogueMessage(AsHresult(code));
      }
      if (!cancelled) {
        model_.AddError(MakeRecord(AsHresult(code), L"launcher.worker_exit",
                                   L"The deployment worker exited without reporting its terminal failure."));
      }
    }
    if (options_.checkOnly) {
      platform_.DestroyWindow();
      return;
    }
    bool cancelled = model_.screen == Screen::Cancelled;
    Send(cancelled ? L"cancelled" : L"failed", code, cancelled && model_.stopRequested);
  } else {
    if (options_.checkOnly) {
      platform_.DestroyWindow();
      return;
    }
    if (!IsOutcome(model_.screen)) {
      GoTo(Screen::Error);
      model_.errorCodeText = Hex8(kCodeMissingResult);
      model_.statusText = texts::kMissingResult;
      model_.exitCode = kCodeMissingResult;
      model_.AddError(MakeRecord(AsHresult(kCodeMissingResult), L"launcher.worker_missing_result",
                                 L"The deployment worker exited successfully without reporting a terminal "
                                 L"installation result."));
      Send(L"failed", kCodeMissingResult);
    }
  }

  if (model_.closeAfterWorker || (model_.closeAfterStop && model_.screen == Screen::Cancelled) ||
      options_.silent) {
    platform_.DestroyWindow();
    return;
  }
  if (options_.passive) platform_.SetCloseTimer(kPassiveCloseMs);
  if ((model_.screen == Screen::Success || model_.screen == Screen::Installed) &&
      OpensAutomatically(model_, !options_.OpensApplication())) {
    platform_.SetLaunchTimer(model_.screen == Screen::Success ? 1600 : 1000);
  }
  platform_.UpdateControls();
}

void SetupController::ConfirmStop() {
  model_.stopConfirmationShown = false;
  if (IsOutcome(model_.screen)) {
    platform_.UpdateControls();
    return;
  }
  model_.stopRequested = model_.closeAfterStop = true;
  platform_.WriteCancelByte();
  if (options_.preview) {
    GoTo(Screen::Cancelled);
    model_.statusText = texts::kCancelled;
  } else if (!model_.workerRunning) {
    platform_.DestroyWindow();
    return;
  } else {
    GoTo(Screen::Stopping);
    model_.statusText = texts::kStopping;
  }
  platform_.UpdateControls();
}

void SetupController::CloseRequest() {
  if (model_.screen == Screen::Stopping) {
    // Windows may need a while to roll back; a forced close only after 10 s.
    if (platform_.Now() - model_.screenChangedAt < 10000) return;
    model_.workerRunning = false;
    model_.exitCode = kCodeCancelled;
    platform_.ReleaseWorker(true);
    platform_.DestroyWindow();
    return;
  }
  bool earlyScreen = static_cast<int>(model_.screen) <= static_cast<int>(Screen::Verifying);
  if ((model_.workerRunning && !IsOutcome(model_.screen)) || (options_.preview && earlyScreen)) {
    model_.stopConfirmationShown = true;
    platform_.UpdateControls();
    platform_.FocusPrimary();
    return;
  }
  if (model_.workerRunning && IsOutcome(model_.screen)) {
    model_.closeAfterWorker = true;
    return;
  }
  platform_.DestroyWindow();
}

void SetupController::OnCommand(int id) {
  ControlsInput input = CurrentControlsInput();
  if (id == kIdPrimary || (id == 2 && model_.stopConfirmationShown)) {
    if (model_.stopConfirmationShown) {
      model_.stopConfirmationShown = false;
      model_.closeAfterStop = false;
      platform_.UpdateControls();
      return;
    }
    if (PrimaryText(model_, input).empty()) return;  // a hidden primary does nothing
    switch (model_.screen) {
      case Screen::Success:
      case Screen::Installed:
        LaunchApplication();
        return;
      case Screen::Unsupported:
        platform_.OpenUrl(DownloadPageUrl());
        return;
      default:
        break;
    }
    if (options_.preview) {
      ResetToStart();
    } else if (model_.screen == Screen::Error || model_.screen == Screen::Cancelled) {
      if (!model_.workerRunning) StartWorkerSession(false);
    }
    return;
  }
  switch (id) {
    case kIdSecondary:
      if (model_.stopConfirmationShown) {
        ConfirmStop();
      } else if (model_.screen == Screen::Error) {
        platform_.OpenUrl(SupportPageUrl());
      } else {
        CloseRequest();
      }
      return;
    case kIdCaptionClose:
      CloseRequest();
      return;
    case kIdCaptionMinimize:
      if (!model_.stopConfirmationShown) platform_.MinimizeWindow();
      return;
    case kIdShowLog:
      if (!model_.reportPath.empty()) platform_.ShowInExplorer(model_.reportPath);
      return;
    case kIdCopyDetails:
      CopyDetails();
      return;
    default:
      return;
  }
}

std::wstring SetupController::DetailsText() {
  std::wstring text = L"Tavo Studio Setup couldn't finish.\r\nError: " + model_.errorCodeText + L"\r\n";
  text += model_.statusText + L"\r\n";
  // Support reads English; the person pasting it saw their own language.
  if (const Translation& shown = ActiveTranslation(); shown.Language() != L"en" && shown.Translates(model_.statusText))
    text += L"Shown in " + shown.Language() + L": " + shown.Shown(model_.statusText) + L"\r\n";
  if (!model_.technicalLog.empty()) text += L"Windows reported: " + model_.technicalLog + L"\r\n";
  text += L"Windows build: " + std::to_wstring(platform_.WindowsBuild()) + L"\r\n";
  if (platform_.ReportReady(model_.reportPath, model_.reportIdentity)) {
    text += L"Diagnostic log: " + model_.reportPath + L"\r\n";
  }
  return text;
}

void SetupController::CopyDetails() {
  if (!platform_.CopyToClipboard(DetailsText())) return;  // clipboard failures are silent
  uint64_t now = platform_.Now();
  model_.copiedAt = now == 0 ? 1 : now;  // 0 means "no copy shown"
  platform_.UpdateControls();
}

void SetupController::ResetToStart() {
  model_.demoStart = platform_.Now();
  model_.demoRunning = true;
  // A new simulated run, like a new session: an earlier stop no longer holds.
  model_.stopRequested = model_.closeAfterStop = false;
  model_.progress = -1;
  model_.displayedProgress = 0;
  model_.launchFailed = false;
  GoTo(Screen::Preparing);
  model_.statusText = texts::kGettingReady;
  platform_.UpdateControls();
}

void SetupController::AdvanceDemo() {
  if (!model_.demoRunning || IsOutcome(model_.screen) || model_.screen == Screen::Stopping ||
      model_.stopConfirmationShown) {
    return;
  }
  const uint64_t now = platform_.Now();
  const ui::SimulatedStep step = ui::SimulatedRunAt(now >= model_.demoStart ? now - model_.demoStart : 0);
  if (step.screen == model_.screen && step.progress == model_.progress) return;
  GoTo(step.screen);
  model_.progress = step.progress;
  if (step.finished) {
    model_.demoRunning = false;
    model_.statusText = texts::kOpeningFirstTime;
    platform_.SetLaunchTimer(ui::kDemoLaunchDelayMs);
  }
  platform_.UpdateControls();
}

void SetupController::LaunchApplication() {
  platform_.SetLaunchTimer(0);
  if (options_.preview) {
    ResetToStart();
    return;
  }
  uint32_t failure = 0;
  if (model_.launchTarget.empty()) {
    failure = kCodeLaunchIdentityMissing;
    model_.AddError(MakeRecord(AsHresult(failure), L"launcher.launch_identity_missing", L"AUMID is empty."));
  } else {
    std::wstring operation;
    int32_t hr = platform_.ActivateApplication(model_.launchTarget, operation);
    if (hr >= 0) {
      CloseRequest();
      return;
    }
    model_.AddError(RecordFromCode(operation, operation + L" failed; AUMID=" + model_.launchTarget, hr));
    std::wstring target = L"shell:AppsFolder\\" + model_.launchTarget;
    uint32_t error = 0;
    if (platform_.OpenInAppsFolder(target, error)) {
      CloseRequest();
      return;
    }
    // A failure that left no last error must not read as success.
    int32_t code = error == 0 ? E_FAIL : HresultFromWin32(error);
    ErrorRecord shell = RecordFromCode(L"launcher.shell_execute",
                                       L"ShellExecuteExW returned FALSE; GetLastError=" + std::to_wstring(error) +
                                           L"; target=" + target,
                                       code);
    shell.nativeDomain = L"Win32";
    shell.nativeCode = static_cast<int32_t>(error);
    model_.AddError(std::move(shell));
    failure = static_cast<uint32_t>(hr);
  }
  model_.launchFailed = true;
  model_.statusText = texts::kLaunchFailed;
  Send(L"launch_failed", failure);
  platform_.UpdateControls();
}

}  // namespace tavo::launcher
