// TavoSetup: the setup launcher's entry. Reads the command line, runs the
// compatibility gate and the worker session behind the setup window, and ends
// with the exit code that the window posts with its quit message.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/host_facts.h"
#include "common/telemetry/installer_profile.h"
#include "common/telemetry/launcher_events.h"
#include "common/telemetry/telemetry_queue.h"
#include "common/telemetry/telemetry_policy.h"
#include "common/winrt/hresult_error.h"
#include "launcher/start/compatibility_gate.h"
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

class ComApartment {
 public:
  ComApartment() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CheckHr(hr);
    initialised_ = true;
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }

 private:
  bool initialised_ = false;
};

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

uint32_t RunSetup(HINSTANCE instance, const LaunchOptions& options, const std::wstring& visitorId, int showCommand,
                  std::optional<ComApartment>& com, std::unique_ptr<DrawingResources>& drawing,
                  std::unique_ptr<SetupWindow>& window) {
  com.emplace();
  // Made now, so that a first profile takes the visitor id; each send reads it
  // again. With telemetry off by policy there is no profile at all.
  if (!visitorId.empty() && !TelemetryDisabledByPolicy()) GetOrCreateProfile(visitorId);
  drawing = std::make_unique<DrawingResources>();
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
  } else {
    HostFacts facts = ReadHostFacts();
    if (std::optional<Refusal> refusal = JudgeCompatibility(facts)) {
      facts.enabledXStateMask = EnabledXStateMask();  // read again for the record
      window->Controller().Refuse(*refusal, facts);
    }
  }

  if (options.checkOnly && window->Model().screen == Screen::Unsupported) {
    uint32_t code = window->WriteFallbackReport();
    if (code != 0 && window->Model().exitCode == 0) window->Model().exitCode = code;
    window->Destroy();
  } else {
    window->Show(options.checkOnly ? SW_HIDE : showCommand);
    if (!options.preview && window->Model().screen != Screen::Unsupported) {
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
  if (!options.checkOnly && options.screenshotPath.empty()) {
    ShowLauncherMessageBox(failure.boxText, MB_OK | MB_ICONERROR);
  }
  return failure.exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Libraries load from the system directory only.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  std::vector<std::wstring> arguments = ReadArguments();
  ParsedCommandLine parsed = ParseLaunchArguments(arguments);
  if (parsed.verdict == CommandLineVerdict::UsageBox) {
    ShowLauncherMessageBox(kUsageText, MB_OK);
    return static_cast<int>(kExitInvalidParameter);
  }
  if (parsed.verdict == CommandLineVerdict::Rejected) return static_cast<int>(kExitInvalidParameter);
  LaunchOptions options = parsed.options;
  if (!options.reportPath.empty()) options.reportPath = AbsolutePath(options.reportPath);
  // One install at a time: a second install run brings the first setup forward
  // and gives way before it reads or writes anything else; a report it was
  // asked for says why. The lock lives until the process ends.
  std::unique_ptr<InstanceLock> installLock = WindowsInstanceLock();
  if (std::optional<uint32_t> giveWay = ClaimSetupInstance(options, *installLock)) {
    // A report that cannot be written changes nothing: the exit code says why.
    if (!options.reportPath.empty()) WriteFallbackReport(GaveWayReport(options, ReadHostFacts()));
    return static_cast<int>(*giveWay);
  }
  std::wstring visitorId = options.InstallRun() ? ReadOwnVisitorId() : std::wstring();
  SetLauncherVisitorId(visitorId);

  // Declared in this order so that the window goes first and COM last.
  std::optional<ComApartment> com;
  std::unique_ptr<DrawingResources> drawing;
  std::unique_ptr<SetupWindow> window;
  uint32_t exitCode = 0;
  std::optional<StartupFailure> failure;
  try {
    exitCode = RunSetup(instance, options, visitorId, showCommand, com, drawing, window);
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
