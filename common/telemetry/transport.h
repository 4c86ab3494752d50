// The telemetry transport: one synchronous HTTPS POST per event body to the
// telemetry host's /api/uma/, strictly in order; the first failure stops the rest.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/telemetry/delivery.h"

namespace tavo {

inline constexpr unsigned kTelemetryTimeoutMs = 15000;
inline constexpr size_t kResponseReadBytes = 1024;
inline constexpr size_t kMaxResponseBytes = 16384;

// Posts each body in order and fills `result`'s transport error, HTTP status,
// sent events, operation (the failing call's name, "HTTP response" for an
// answer outside 200-299, empty when all were sent), response body and
// truncated flag. Opens and closes its own WinHTTP session. Does not throw
// for a failed call; only memory exhaustion propagates.
void PostEvents(const std::vector<std::string>& events, TelemetryDelivery& result);

}  // namespace tavo
