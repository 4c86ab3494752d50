// The worker's telemetry call at the end of an install run.
#pragma once

#include <functional>
#include <vector>

#include "common/diagnostics/error_record.h"
#include "common/telemetry/delivery.h"
#include "common/telemetry/payload.h"
#include "worker/run/run_outcome.h"
#include "worker/run/state.h"

namespace tavo::worker {

// The report of a finished run. User cancelled only when the run ended
// cancelled and the user asked (a `C` after a finished run is no cancel);
// limited disk space only when preflight found it and a failure was reported.
ReportInputs RunReportInputs(const RunOutcome& outcome, const RunState& run, bool userCancelMark,
                             std::vector<ErrorRecord> records);

// The report of this process's run (RunReportInputs over the worker's state).
ReportInputs CurrentRunReportInputs(const RunOutcome& outcome);

using ReportBuilder = std::function<ReportInputs(const RunOutcome&)>;
// Builds the run's report and sends its events, both inside the send guard;
// returns the delivery state for the report. Never throws.
TelemetryDelivery SendRunTelemetry(const RunOutcome& outcome, const ReportBuilder& build = CurrentRunReportInputs);

}  // namespace tavo::worker
