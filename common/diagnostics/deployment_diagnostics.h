// What Windows knows about a failed or unverifiable deployment: correlated event-log
// entries, the services installation depends on, and the policies that shape it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavo {

struct LogEvent {
  uint32_t eventId = 0;
  std::wstring level;
  std::wstring provider;
  std::wstring channel;
  std::wstring message;  // at most 2048 UTF-16 units
  int32_t formatError = 0;
};

struct ServiceEntry {
  std::wstring name;
  std::wstring availability;
  std::wstring startMode;
  std::wstring state;
  int32_t queryError = 0;
};

struct DeploymentDiagnostics {
  bool collect = false;
  bool apiReportedSuccess = false;
  int32_t progressPercent = -1;
  std::wstring progressState;
  std::wstring activityId;
  int32_t appxLogQueryError = 0;
  uint32_t appxLogQueryAttempts = 0;
  uint32_t appxLogWaitMs = 0;
  uint32_t appxLogQueryMs = 0;
  uint32_t appxEventsScanned = 0;
  uint32_t packagingEventsScanned = 0;
  int32_t packagingLogQueryError = 0;
  std::vector<LogEvent> appxEvents;
  std::vector<ServiceEntry> serviceSnapshot;
  std::vector<std::pair<std::wstring, uint32_t>> deliveryOptimizationPolicies;
  std::vector<std::pair<std::wstring, uint32_t>> appxPolicies;
  int32_t appxPolicyQueryError = 0;
  std::optional<bool> processElevated;
};

std::wstring DeliveryOptimizationModeName(uint32_t mode);
std::wstring AppxPolicyMeaning(const std::wstring& name, uint32_t value);
// The compact JSON object that the report and telemetry embed.
std::string DeploymentDiagnosticsJson(const DeploymentDiagnostics& record);

}  // namespace tavo
