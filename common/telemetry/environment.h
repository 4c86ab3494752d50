// The PC facts that every telemetry report carries, read from Windows.
#pragma once

#include <optional>
#include <string_view>

#include "common/telemetry/payload.h"

namespace tavo {

// Delivery Optimization (`DoSvc`) as the service control manager sees it: true
// when it exists and is not disabled, false when disabled or missing, nullopt
// when the manager, the service or its configuration cannot be read.
std::optional<bool> DeliveryOptimizationServiceAvailable();

// Host facts, the Delivery Optimization state and the installer profile
// (created with the visitor id when there is none yet). Never throws for a
// failed query; each fact has its "unknown" value.
EnvironmentFacts ReadEnvironment(std::wstring_view visitorId);

}  // namespace tavo
