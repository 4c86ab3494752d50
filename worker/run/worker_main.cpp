#include "worker/run/worker_main.h"

#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <stdexcept>

#include "build_info.h"
#include "common/host_facts.h"
#include "common/telemetry/telemetry_policy.h"
#include "common/text.h"
#include "worker/run/cancel.h"
#include "worker/run/command_line.h"
#include "worker/deployment/deployment_diagnostics_collect.h"
#include "worker/run/error_store.h"
#include "worker/run/events.h"
#include "worker/deployment/install_stage.h"
#include "worker/run/operation_log.h"
#include "worker/preflight/preflight.h"
#include "worker/run/report.h"
#include "worker/run/run_outcome.h"
#include "worker/run/state.h"
#include "worker/run/telemetry_call.h"

namespace tavo::worker {
namespace {

constexpr int kBadCommandLine = 87;

void RunStage(const Options& options, RunOutcome& outcome) {
  CheckHr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
#ifdef TAVO_TEST_HOOKS
  // Lets integration tests prove how an unexpected exception ends a run.
  if (const char* hook = std::getenv("TAVO_TEST_HOOK_THROW"); hook && std::string_view(hook) == "std")
    throw std::runtime_error("test hook: unexpected failure inside the stage");
#endif
  if (options.install) {
    if (InstallStage(options.openExisting)) outcome.outcome = L"already_installed";
  } else {
    Preflight(WindowsPreflightPlatform());
  }
}

// The first report write, and its failure path.
bool WriteFirstReport(RunOutcome& outcome) {
  int32_t hr = WriteReport(outcome.exitCode);
  if (hr == 0) {
    Emit(L"report_ready", -1, L"", L"", 0);
    return true;
  }
  Emit(L"error", -1, L"Couldn't save setup details",
       L"We couldn't save the diagnostic log. Check that the report folder exists and is writable, then try again.", hr);
  Emit(L"diagnostic", -1, L"Diagnostic log write failed",
       L"Report path: " + Worker().reportPath + L". Original setup result: " + Hex8(static_cast<uint32_t>(outcome.exitCode)),
       hr);
  AddRecord(RecordFromCode(L"report.write_failed", L"WriteReport failed.", hr));
  if (outcome.exitCode == 0) outcome.exitCode = hr;
  outcome.outcome = L"failed";
  return false;
}

void DeliverTelemetry(RunOutcome& outcome, bool reportWritten) {
  RunState& run = Worker();
  const bool attempted = !TelemetryDisabledByPolicy();
  run.telemetry.attempted = attempted;
  TelemetryDelivery delivery = SendRunTelemetry(outcome);
  delivery.attempted = attempted;
  run.telemetry = delivery;
  LogOperation(L"telemetry.result", L"result",
               L"configured=" + BoolText(delivery.configured) +
                   L"; transportError=" + std::to_wstring(delivery.transportError) +
                   L"; httpStatus=" + std::to_wstring(delivery.httpStatus) +
                   L"; sentEvents=" + std::to_wstring(delivery.sentEvents) +
                   L"; totalEvents=" + std::to_wstring(delivery.totalEvents) + L"; operation=" + delivery.operation +
                   L"; response=" + delivery.responseBody,
               0);
  if (delivery.error) {
    AddRecord(*delivery.error);
  } else if (delivery.transportError != 0) {
    AddRecord(MakeRecord(HresultFromWin32(delivery.transportError), L"telemetry.transport_failed", delivery.operation));
  } else if (delivery.configured && delivery.httpStatus != 0 && (delivery.httpStatus < 200 || delivery.httpStatus > 299)) {
    AddRecord(MakeRecord(static_cast<int32_t>(0x80190000u | delivery.httpStatus), L"telemetry.upload_failed",
                         L"operation=" + delivery.operation + L"; HTTP status=" + std::to_wstring(delivery.httpStatus) +
                             L"; response=" + delivery.responseBody));
  }
  if (!reportWritten) return;
  if (int32_t hr = WriteReport(outcome.exitCode); hr != 0) {
    AddRecord(RecordFromCode(L"report.final_write_failed", L"Writing final telemetry delivery state failed.", hr));
    if (outcome.exitCode == 0) outcome.exitCode = hr;
  }
}

int RunOnce(int argc, wchar_t** argv) {
  std::optional<Options> options = ParseCommandLine(argc, argv);
  if (!options) return kBadCommandLine;
  RunState& run = Worker();
  run.verbose = options->verbose;
  run.reportPath = options->reportPath;
  run.visitorId = options->visitorId;

  RunOutcome outcome;
  LogOperation(L"worker.start", L"begin",
               L"buildHash=" + Utf16(build::kBuildHash) + L"; processId=" + std::to_wstring(::GetCurrentProcessId()) +
                   L"; windowsVersion=" + WindowsVersionText() + L"; verbose=" + BoolText(run.verbose),
               0);
  StartCancelWatcher();

  RunGuarded(outcome, [&] { RunStage(*options, outcome); });

  CloseCancellationWindow();
  if (run.deployment.collect) CollectDeploymentDiagnostics(run.deployment);
  bool reportWritten = WriteFirstReport(outcome);
  if (options->install) DeliverTelemetry(outcome, reportWritten);
  return outcome.exitCode;
}

}  // namespace

int RunWorker(int argc, wchar_t** argv) {
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  try {
    return RunOnce(argc, argv);
  } catch (const std::exception&) {
    // Outside the guarded region (for example the cancel watcher's thread could
    // not be made): end with the unexpected-failure code rather than crash.
    return static_cast<int>(0xA0041201);
  }
}

}  // namespace tavo::worker
