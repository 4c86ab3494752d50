// The launcher's telemetry sends: outcome events ("failed", "unsupported",
// "cancelled", "launch_failed") with the code and the launcher's error list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/diagnostics/error_record.h"
#include "common/telemetry/delivery.h"

namespace tavo {

struct LauncherOutcomeEvent {
  std::wstring outcome;
  uint32_t code = 0;
  std::vector<ErrorRecord> errors;
  bool userCancelled = false;
};

// The visitor id that the launcher's sends carry (its envelope's `user_id`
// and the profile it creates). Set once at start, before the window exists
// and before the first send starts the sender thread that reads it.
void SetLauncherVisitorId(std::wstring visitorId);

// Sends one launcher outcome event, synchronously on the calling thread, and
// returns how far the delivery got. Never throws.
TelemetryDelivery SendLauncherOutcome(const LauncherOutcomeEvent& event);

}  // namespace tavo
