// The worker's telemetry call at the end of an install run.
#pragma once

#include "common/telemetry/delivery.h"
#include "worker/run_outcome.h"

namespace tavo::worker {

// Sends the run's telemetry events and returns the delivery state for the report.
TelemetryDelivery SendRunTelemetry(const RunOutcome& outcome, bool userCancel);

}  // namespace tavo::worker
