// The launcher's telemetry sends: outcome events ("failed", "unsupported",
// "cancelled", "launch_failed") with the code and the launcher's error list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/diagnostics/error_record.h"

namespace tavo {

struct LauncherOutcomeEvent {
  std::wstring outcome;
  uint32_t code = 0;
  std::vector<ErrorRecord> errors;
  bool userCancelled = false;
};

// Sends one launcher outcome event. The payload and transport are not built
// yet: nothing is sent or recorded, and the result says so (false = not sent).
bool SendLauncherOutcome(const LauncherOutcomeEvent& event);

}  // namespace tavo
