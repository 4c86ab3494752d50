#include "common/telemetry/launcher_events.h"

#include "common/telemetry/send_report.h"

namespace tavo {
namespace {

// Written once at start, read by the sends afterwards.
std::wstring& LauncherVisitorId() {
  static std::wstring id;
  return id;
}

}  // namespace

void SetLauncherVisitorId(std::wstring visitorId) { LauncherVisitorId() = std::move(visitorId); }

TelemetryDelivery SendLauncherOutcome(const LauncherOutcomeEvent& event) {
  ReportInputs inputs;
  inputs.outcome = event.outcome;
  inputs.exitCode = event.code;
  inputs.errors = event.errors;
  inputs.userCancelled = event.userCancelled;
  inputs.visitorId = LauncherVisitorId();
  return SendReport(inputs);
}

}  // namespace tavo
