#include "common/telemetry/launcher_events.h"

namespace tavo {

bool SendLauncherOutcome(const LauncherOutcomeEvent&) {
  // No transport exists yet; report honestly that nothing was sent.
  return false;
}

}  // namespace tavo
