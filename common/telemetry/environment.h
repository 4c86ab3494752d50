// The PC facts that every telemetry report carries, read from Windows.
#pragma once

#include <string_view>

#include "common/telemetry/payload.h"

namespace tavo {

// Host facts, the Delivery Optimization state and the installer profile
// (created with the visitor id when there is none yet). Never throws for a
// failed query; each fact has its "unknown" value.
EnvironmentFacts ReadEnvironment(std::wstring_view visitorId);

}  // namespace tavo
