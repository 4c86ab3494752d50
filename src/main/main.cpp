// TavoSetup: the setup launcher's entry. Reads the command line, runs the
// compatibility gate and the worker session behind the setup window, and ends
// with the exit code that the window posts with its quit message.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/com_apartment.h"
#include "common/host_facts.h"
#include "common/telemetry/installer_profile.h"
#include "common/telemetry/launcher_events.h"
#include "common/telemetry/telemetry_queue.h"
#include "common/telemetry/telemetry_policy.h"
#include "common/winrt/hresult_error.h"
#include "common/folders.h"
#include "common/known_folders.h"
#include "common/text.h"
#include "launcher/language/setup_language.h"
#include "launcher/language/translation.h"
#include "launcher/start/launcher_codes.h"
#include "launcher/start/account_check.h"
#include "launcher/start/compatibility_gate.h"
#include "launcher/start/desktop_account.h"
#include "launcher/outcome/fallback_report.h"
#include "launcher/start/launch_options.h"
#include "launcher/start/message_box.h"
#include "launcher/start/setup_instance.h"
#include "launcher/start/startup_failure.h"
#include "launcher/ui/window/rendering_resources.h"
#include "launcher/ui/window/setup_window.h"
#include "launcher/start/visitor_marker.h"

using namespace tavo;
using namespace tavo::launcher;

namespace {

std::vector<std::wstring> ReadArguments() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  if (!argv) return arguments;
  for (int i = 1; i < count; ++i) arguments.emplace_back(argv[i]);
  LocalFree(argv);
  return arguments;
}

std::wstring AbsolutePath(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;  // left as given; the worker reports what it cannot write
  std::wstring full(size, L'\0');
  DWORD written = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (written == 0 || written >= size) return path;
  full.resize(written);
  return full;
}

// Runs the window's message loop; returns the quit message's exit code.
uint32_t MessageLoop(SetupWindow& window) {
  MSG message{};
  for (;;) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) break;
    if (window.PreTranslate(message)) continue;
    if (window.Handle() && IsDialogMessageW(window.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (std::exception_ptr failure = window.TakeFailure()) std::rethrow_exception(failure);
  return static_cast<uint32_t>(message.wParam);
}

// Steps after the command line: COM, window, gate, session, message loop.
// Failures escape to the caller as start-up failures.
// The drawing factories, the embedded fonts and the text measurer over them;
// they outlive the window.
struct DrawingResources {
  ui::RenderingResources resources;
  ui::DirectWriteTextMeasurer measurer{resources};
};

// `wrongAccount`: this run only shows why it will not install (AccountStep).
uint32_t RunSetup(HINSTANCE instance, const LaunchOptions& options, const std::wstring& visitorId, int showCommand,
                  const std::optional<ErrorRecord>& wrongAccount, std::optional<ComApartment>& com,
                  std::unique_ptr<DrawingResources>& drawing, std::unique_ptr<SetupWindow>& window) {
  com.emplace(COINIT_APARTMENTTHREADED);
  CheckHr(com->Result());
  // Made now, so that a first profile takes the visitor id; each send reads it
  // again. With telemetry off by policy there is no profile at all.
  if (!visitorId.empty() && !wrongAccount && !TelemetryDisabledByPolicy()) GetOrCreateProfile(visitorId);
  drawing = std::make_unique<DrawingResources>();
  // A window that will be seen: DirectWrite's first-use work overlaps with
  // making the window and its render target.
  if (!options.silent && !options.checkOnly) {
    // The first frame's pictures: the wordmark, and the logo of an outcome or
    // the first tip of the progress screens.
    const bool outcome = options.preview && options.stateName != L"" && options.stateName != L"welcome" &&
                         options.stateName != L"preparing" && options.stateName != L"downloading" &&
                         options.stateName != L"installing" && options.stateName != L"verifying" &&
                         options.stateName != L"stopping" && options.stateName != L"cancel";
    const int picture = outcome ? TAVO_RESOURCE_LOGO : TAVO_RESOURCE_TIP_FIRST + (options.preview ? options.tip : 0);
    drawing->resources.WarmUpInBackground(nullptr, {TAVO_RESOURCE_WORDMARK, picture},
                                          Shown(texts::kGettingReady) + Shown(L"Installing Tavo Studio"));
  }
  window = std::make_unique<SetupWindow>(options, visitorId, drawing->resources, drawing->measurer);
  PublishWindow(window.get());
  window->Create(instance);

  if (options.preview) {
    window->StartPreview();
    if (!options.screenshotPath.empty()) {
      window->CaptureScreenshot(options.screenshotPath, options.screenshotScale);
      window->Destroy();
      PublishWindow(nullptr);
      window.reset();
      return 0;
    }
  } else if (wrongAccount) {
    window->ForgoInstallRunMark();  // a second setup must bring forward the one that installs
    window->Controller().RefuseAccount(*wrongAccount);
  } else {
    HostFacts facts = ReadHostFacts();
    if (std::optional<Refusal> refusal = JudgeCompatibility(facts)) {
      facts.enabledXStateMask = EnabledXStateMask();  // read again for the record
      window->Controller().Refuse(*refusal, facts);
    }
  }

  if ((options.checkOnly || options.Unattended()) && window->Model().screen == Screen::Unsupported) {
    uint32_t code = window->WriteFallbackReport();
    if (code != 0 && window->Model().exitCode == 0) window->Model().exitCode = code;
  }
  if ((options.checkOnly || options.silent) && window->Model().screen == Screen::Unsupported) {
    window->Destroy();
  } else {
    window->Show(options.checkOnly || options.silent ? SW_HIDE : showCommand);
    if (!options.preview && !wrongAccount && window->Model().screen != Screen::Unsupported) {
      window->StartWorkerSessionAfterFirstFrame(options.checkOnly);
    }
  }
  uint32_t exitCode = MessageLoop(*window);
  PublishWindow(nullptr);
  window.reset();  // ends the worker session
  return exitCode;
}

uint32_t HandleStartupFailure(const StartupFailure& failure, const LaunchOptions& options) {
  if (failure.record) {
    // Sent while the box is up; the entry waits for it before the process ends.
    LauncherTelemetry().Post({L"failed", failure.exitCode, {*failure.record}, false});
  }
  if (options.Unattended()) {
    // Nobody to answer a box: its text goes to the report, where IT looks.
    FallbackReportInput report;
    report.optionReportPath = options.reportPath;
    report.verbose = options.verbose;
    report.host = ReadHostFacts();
    report.errorCodeText = Hex8(failure.exitCode);
    report.statusText = failure.boxText;
    if (failure.record) report.errors.push_back(*failure.record);
    WriteFallbackReport(report);  // a report that cannot be written changes nothing: the code says why
  } else if (!options.checkOnly && options.screenshotPath.empty()) {
    ShowLauncherMessageBox(failure.boxText, MB_OK | MB_ICONERROR);
  }
  return failure.exitCode;
}

// The desktop's person, checked before the lock, the profile or the session
// folder. `exitCode`: the run ends with it (the relaunched setup's code, or a
// refusal with nothing to show); `refusal`: the window shows it instead of
// installing; neither: this run installs.
struct AccountStep {
  std::optional<uint32_t> exitCode;
  std::optional<ErrorRecord> refusal;
};

AccountStep CheckDesktopAccount(const LaunchOptions& options, int showCommand) {
  const AccountFacts facts = ReadAccountFacts();
  ErrorRecord record;
  switch (JudgeAccount(facts)) {
    case AccountVerdict::Proceed:
      return {};
    case AccountVerdict::Relaunch:
      try {
        return {RelaunchAsDesktopUser(facts, showCommand), std::nullopt};
      } catch (const hresult_error& error) {
        record = RecordFromWindowsError(L"launcher.relaunch_for_desktop_user",
                                        L"Starting setup again as the desktop's user failed; " +
                                            DescribeAccountFacts(facts) + L".",
                                        error);
      } catch (const std::exception& error) {
        record = RecordFromStdException(L"launcher.relaunch_for_desktop_user", error,
                                        static_cast<int32_t>(kCodeWrongAccount));
      }
      break;
    case AccountVerdict::Refuse:
      record = WrongAccountRecord(facts);
      break;
  }
  // Only where IT asked for it: nothing lands in this account's own folders.
  if (!options.reportPath.empty()) WriteFallbackReport(WrongAccountReport(options, record, ReadHostFacts()));
  // On an invisible window station no window can be seen; a silent run shows none anyway.
  if (options.silent || !facts.visibleDesktop) return {kCodeWrongAccount, std::nullopt};
  return {std::nullopt, record};
}

// Where an unattended run without --report leaves its report, so that IT finds
// it without the session folder's name: last-install.json (its trace beside
// it) in %LOCALAPPDATA%\Tavo\Installer. Empty when that folder cannot be made:
// the report then stays in the session folder.
std::wstring StableReportPath() {
  wchar_t* local = nullptr;
  if (FAILED(SHGetKnownFolderPath(kFolderLocalAppData, 0, nullptr, &local))) return {};
  std::wstring folder = std::wstring(local) + L"\\Tavo\\Installer";
  CoTaskMemFree(local);
  try {
    CreateFolders(folder);
  } catch (const std::exception&) {
    return {};
  }
  return folder + L"\\last-install.json";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Libraries load from the system directory only.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  std::vector<std::wstring> arguments = ReadArguments();
  ParsedCommandLine parsed = ParseLaunchArguments(arguments);
  // Unattended, no Windows error box may wait for an answer either (the
  // worker inherits the mode).
  if (parsed.verdict == CommandLineVerdict::Accepted && parsed.options.Unattended()) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  }
  // Every box and screen from here on speaks the chosen language; a command
  // line we cannot read asks for none.
  UseSetupLanguage(instance, parsed.verdict == CommandLineVerdict::Accepted ? parsed.options.language : std::wstring());
  if (parsed.verdict == CommandLineVerdict::UsageBox) {
    ShowLauncherMessageBox(kUsageText, MB_OK);
    return static_cast<int>(kExitInvalidParameter);
  }
  if (parsed.verdict == CommandLineVerdict::Rejected) return static_cast<int>(kExitInvalidParameter);
  LaunchOptions options = parsed.options;
  if (!options.reportPath.empty()) options.reportPath = AbsolutePath(options.reportPath);
  std::optional<ErrorRecord> wrongAccount;
  if (options.InstallRun()) {
    AccountStep account;
    try {
      account = CheckDesktopAccount(options, showCommand);
    } catch (const std::exception& error) {
      // Out of memory before anything else ran: a start-up failure like any other.
      const uint32_t code = HandleStartupFailure(FailureFromStdException(error, true), options);
      LauncherTelemetry().Drain();
      return static_cast<int>(code);
    }
    if (account.exitCode) return static_cast<int>(*account.exitCode);
    wrongAccount = std::move(account.refusal);
  }
  // One install at a time: a second install run brings the first setup forward
  // and gives way before it reads or writes anything else; a report it was
  // asked for says why. The lock lives until the process ends.
  std::unique_ptr<InstanceLock> installLock = WindowsInstanceLock();
  if (wrongAccount) {
    // Shows why it will not install, and installs nothing: no lock to take.
  } else if (std::optional<uint32_t> giveWay = ClaimSetupInstance(options, *installLock)) {
    // A report that cannot be written changes nothing: the exit code says why.
    if (!options.reportPath.empty()) WriteFallbackReport(GaveWayReport(options, ReadHostFacts()));
    return static_cast<int>(*giveWay);
  }
  // The lock is this run's: only now may it claim the stable report path.
  if (options.Unattended() && options.reportPath.empty() && !wrongAccount) options.reportPath = StableReportPath();
  std::wstring visitorId = options.InstallRun() && !wrongAccount ? ReadOwnVisitorId() : std::wstring();
  SetLauncherVisitorId(visitorId);

  // Declared in this order so that the window goes first and COM last.
  std::optional<ComApartment> com;
  std::unique_ptr<DrawingResources> drawing;
  std::unique_ptr<SetupWindow> window;
  uint32_t exitCode = 0;
  std::optional<StartupFailure> failure;
  try {
    exitCode = RunSetup(instance, options, visitorId, showCommand, wrongAccount, com, drawing, window);
  } catch (const hresult_error& error) {
    failure = FailureFromWindowsError(error, options.InstallRun());
  } catch (const std::exception& error) {
    failure = FailureFromStdException(error, options.InstallRun());
  } catch (...) {
    failure = FailureFromUnknown(options.InstallRun());
  }
  // The window and its worker end before the start-up failure box: under the
  // box's own message loop no tick or worker message may reach the setup
  // logic, and no worker exit may close the window and the box with it.
  // Unpublished first, so that its destruction posts no quit message either.
  PublishWindow(nullptr);
  window.reset();
  if (failure) exitCode = HandleStartupFailure(*failure, options);
  drawing.reset();
  // The window is gone: what is still being sent gets the transport's own
  // time-outs to arrive before the process ends. The next setup need not
  // wait for that: it finds no window to bring forward.
  installLock.reset();
  LauncherTelemetry().Drain();
  return static_cast<int>(exitCode);
}
