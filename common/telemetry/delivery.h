// The result of one telemetry delivery, as the report's `uma` member shows it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/diagnostics/error_record.h"

namespace tavo {

struct TelemetryDelivery {
  bool attempted = false;
  bool configured = false;
  uint32_t httpStatus = 0;
  uint32_t transportError = 0;
  std::wstring operation;
  uint64_t sentEvents = 0;
  uint64_t totalEvents = 0;
  std::wstring responseBody;
  bool responseTruncated = false;
  std::optional<ErrorRecord> error;  // the sender's own failure record, if any
};

// The report's `uma` object (compact).
std::string TelemetryDeliveryJson(const TelemetryDelivery& delivery);

}  // namespace tavo
