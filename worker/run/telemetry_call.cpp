#include "worker/run/telemetry_call.h"

#include "common/telemetry/send_report.h"
#include "worker/run/cancel.h"
#include "worker/run/error_store.h"
#include "worker/verification/verification_record.h"

namespace tavo::worker {

ReportInputs RunReportInputs(const RunOutcome& outcome, const RunState& run, bool userCancelMark,
                             std::vector<ErrorRecord> records) {
  ReportInputs inputs;
  inputs.outcome = outcome.outcome;
  inputs.exitCode = static_cast<uint32_t>(outcome.exitCode);
  inputs.errors = std::move(records);
  inputs.verificationJson = VerificationJson(run.verification);
  inputs.deploymentJson = DeploymentDiagnosticsJson(run.deployment);
  inputs.userCancelled = outcome.outcome == L"cancelled" && userCancelMark;
  inputs.descriptorRetries = run.descriptorRetries;
  inputs.deploymentRetries = run.deploymentRetries;
  inputs.retryFailures = run.retryFailures;
  inputs.limitedDiskSpace = run.disk.limited && outcome.failureReported;
  inputs.visitorId = run.visitorId;
  return inputs;
}

TelemetryDelivery SendRunTelemetry(const RunOutcome& outcome, const ReportBuilder& build) {
  // The inputs copy the records and write JSON: a failure there is a telemetry
  // failure too, and must not change how the run ends.
  return GuardedDelivery([&](TelemetryDelivery& result) { DeliverReport(build(outcome), result); });
}

ReportInputs CurrentRunReportInputs(const RunOutcome& outcome) {
  return RunReportInputs(outcome, Worker(), UserCancelled(), Records());
}

}  // namespace tavo::worker
