// Send report: builds one report's events and posts them, returning how far
// the delivery got. Both programs call it; it never throws.
#pragma once

#include <functional>
#include <string>

#include "common/telemetry/delivery.h"
#include "common/telemetry/payload.h"

namespace tavo {

inline constexpr int32_t kTelemetryExceptionCode = static_cast<int32_t>(0xA0041206);
// The delivery's operation when the telemetry policy turned it off.
inline constexpr wchar_t kTelemetryOffOperation[] =
    L"disabled by policy Software\\Policies\\Tavo\\Installer\\TelemetryDisabled";

// A braced GUID, or "<process id>-<tick count>" when no GUID can be made.
std::wstring NewDiagnosticsId();

// Reads the environment (and the installer profile), builds the events with a
// new diagnostics id and posts them. Synchronous: up to the transport's
// time-outs per request.
TelemetryDelivery SendReport(const ReportInputs& inputs);
// The same without the guard, for callers that build the inputs inside their own.
void DeliverReport(const ReportInputs& inputs, TelemetryDelivery& result);

// Runs `work` on a fresh, configured result; an exception that escapes it ends
// the delivery with the operation "UMA serialization or transport exception"
// (or "UMA unknown exception") and an error record with code 0xA0041206.
// With telemetry off by policy `work` does not run: nothing is attempted, and
// the operation is kTelemetryOffOperation.
TelemetryDelivery GuardedDelivery(const std::function<void(TelemetryDelivery&)>& work);

}  // namespace tavo
