#include "worker/telemetry_call.h"

namespace tavo::worker {

TelemetryDelivery SendRunTelemetry(const RunOutcome& /*outcome*/, bool /*userCancel*/) {
  // This build has no telemetry transport: nothing is sent and the delivery
  // state says so (not configured, no events), never a delivery it did not make.
  return {};
}

}  // namespace tavo::worker
