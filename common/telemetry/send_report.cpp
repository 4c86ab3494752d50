#include "common/telemetry/send_report.h"

#include <windows.h>
#include <objbase.h>

#include <exception>

#include "common/text.h"
#include "common/telemetry/environment.h"
#include "common/telemetry/telemetry_policy.h"
#include "common/telemetry/transport.h"

namespace tavo {

std::wstring NewDiagnosticsId() {
  GUID guid{};
  wchar_t text[39] = {};
  if (SUCCEEDED(::CoCreateGuid(&guid)) && ::StringFromGUID2(guid, text, 39) == 39) return text;
  return std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64());
}

TelemetryDelivery GuardedDelivery(const std::function<void(TelemetryDelivery&)>& work) {
  TelemetryDelivery result;
  result.configured = true;  // this build always has its host and token
  if (TelemetryDisabledByPolicy()) {
    // Nothing is read, built or sent; the delivery says why.
    result.operation = kTelemetryOffOperation;
    return result;
  }
  try {
    work(result);
  } catch (const hresult_error& error) {
    result.operation = L"UMA serialization or transport exception";
    ErrorRecord record = RecordFromWindowsError(
        L"telemetry.exception", L"UMA serialization or transport failed with " + Hex8(error.code()) + L".", error);
    record.code = kTelemetryExceptionCode;
    result.error = std::move(record);
  } catch (const std::exception& error) {
    result.operation = L"UMA serialization or transport exception";
    ErrorRecord record = RecordFromStdException(L"telemetry.exception", error, kTelemetryExceptionCode);
    // A system error would take its own code; the record keeps it as the native code.
    record.code = kTelemetryExceptionCode;
    result.error = std::move(record);
  } catch (...) {
    result.operation = L"UMA unknown exception";
    result.error = MakeRecord(kTelemetryExceptionCode, L"telemetry.unknown_exception",
                              L"An unknown C++ exception interrupted UMA serialization or transport.");
  }
  return result;
}

void DeliverReport(const ReportInputs& inputs, TelemetryDelivery& result) {
  const std::wstring diagnosticsId = NewDiagnosticsId();
  const std::string environment = EnvironmentFragment(ReadEnvironment(inputs.visitorId));
  const std::vector<std::string> events = BuildEvents(inputs, environment, diagnosticsId);
  result.totalEvents = events.size();
  PostEvents(events, result);
}

TelemetryDelivery SendReport(const ReportInputs& inputs) {
  return GuardedDelivery([&](TelemetryDelivery& result) { DeliverReport(inputs, result); });
}

}  // namespace tavo
