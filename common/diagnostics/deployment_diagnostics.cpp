#include "common/diagnostics/deployment_diagnostics.h"

#include "common/text.h"

namespace tavo {
namespace {

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

const char* LogStatus(const std::wstring& activityId, int32_t queryError, uint32_t scanned) {
  if (activityId.empty()) return "\"activityIdUnavailable\"";
  if (queryError != 0) return "\"queryFailed\"";
  if (scanned != 0) return "\"queried\"";
  return "\"noMatchingEvents\"";
}

void AppendHex8(std::string& out, int32_t value) { AppendJsonString(out, Hex8(static_cast<uint32_t>(value))); }

}  // namespace

std::wstring DeliveryOptimizationModeName(uint32_t mode) {
  switch (mode) {
    case 0: return L"CDN only (0)";
    case 1: return L"LAN peering (1)";
    case 2: return L"Group peering (2)";
    case 3: return L"Internet peering (3)";
    case 99: return L"HTTP only (99)";
    case 100: return L"Bypass (100)";
    default: return L"Unknown (" + std::to_wstring(mode) + L")";
  }
}

std::wstring AppxPolicyMeaning(const std::wstring& name, uint32_t value) {
  if (EndsWith(name, L"BlockNonAdminUserInstall")) {
    if (value == 1) return L"non-admin installs restricted";
    if (value == 0) return L"non-admin installs unrestricted";
    return L"unknown";
  }
  if (EndsWith(name, L"AllowAllTrustedApps")) {
    if (value == 1) return L"trusted apps allowed by this policy";
    if (value == 0) return L"trusted apps restricted by this policy";
    if (value == 0xFFFF) return L"not configured";
  }
  return L"unknown";
}

std::string DeploymentDiagnosticsJson(const DeploymentDiagnostics& r) {
  std::string out = "{\"apiReportedSuccess\":";
  out += r.apiReportedSuccess ? "true" : "false";
  out += ",\"progressPercent\":";
  out += r.progressPercent < 0 ? std::string("null") : std::to_string(r.progressPercent);
  out += ",\"progressState\":";
  AppendJsonString(out, r.progressState);
  out += ",\"activityId\":";
  AppendJsonString(out, r.activityId);
  out += ",\"appxLogStatus\":";
  out += LogStatus(r.activityId, r.appxLogQueryError, r.appxEventsScanned);
  out += ",\"appxLogQueryError\":";
  AppendHex8(out, r.appxLogQueryError);
  out += ",\"appxLogQueryAttempts\":" + std::to_string(r.appxLogQueryAttempts);
  out += ",\"appxLogWaitMs\":" + std::to_string(r.appxLogWaitMs);
  out += ",\"appxLogQueryMs\":" + std::to_string(r.appxLogQueryMs);
  out += ",\"appxEventsScanned\":" + std::to_string(r.appxEventsScanned);
  out += ",\"packagingLogStatus\":";
  out += LogStatus(r.activityId, r.packagingLogQueryError, r.packagingEventsScanned);
  out += ",\"packagingLogQueryError\":";
  AppendHex8(out, r.packagingLogQueryError);
  out += ",\"packagingEventsScanned\":" + std::to_string(r.packagingEventsScanned);
  out += ",\"appxEvents\":[";
  for (size_t i = 0; i < r.appxEvents.size(); ++i) {
    const LogEvent& e = r.appxEvents[i];
    if (i) out.push_back(',');
    out += "{\"eventId\":" + std::to_string(e.eventId) + ",\"level\":";
    AppendJsonString(out, e.level);
    out += ",\"provider\":";
    AppendJsonString(out, e.provider);
    out += ",\"channel\":";
    AppendJsonString(out, e.channel);
    out += ",\"message\":";
    AppendJsonString(out, e.message);
    out += ",\"formatError\":";
    AppendHex8(out, e.formatError);
    out.push_back('}');
  }
  out += "],\"serviceSnapshot\":[";
  for (size_t i = 0; i < r.serviceSnapshot.size(); ++i) {
    const ServiceEntry& s = r.serviceSnapshot[i];
    if (i) out.push_back(',');
    out += "{\"name\":";
    AppendJsonString(out, s.name);
    out += ",\"availability\":";
    AppendJsonString(out, s.availability);
    out += ",\"startMode\":";
    AppendJsonString(out, s.startMode);
    out += ",\"state\":";
    AppendJsonString(out, s.state);
    out += ",\"queryError\":";
    AppendHex8(out, s.queryError);
    out.push_back('}');
  }
  out += "],\"deliveryOptimizationPolicies\":[";
  for (size_t i = 0; i < r.deliveryOptimizationPolicies.size(); ++i) {
    const auto& [name, value] = r.deliveryOptimizationPolicies[i];
    if (i) out.push_back(',');
    out += "{\"name\":";
    AppendJsonString(out, name);
    out += ",\"value\":" + std::to_string(value) + ",\"mode\":";
    AppendJsonString(out, DeliveryOptimizationModeName(value));
    out.push_back('}');
  }
  out += "],\"appxPolicies\":[";
  for (size_t i = 0; i < r.appxPolicies.size(); ++i) {
    const auto& [name, value] = r.appxPolicies[i];
    if (i) out.push_back(',');
    out += "{\"name\":";
    AppendJsonString(out, name);
    out += ",\"value\":" + std::to_string(value) + ",\"meaning\":";
    AppendJsonString(out, AppxPolicyMeaning(name, value));
    out.push_back('}');
  }
  out += "],\"appxPolicyQueryError\":";
  AppendHex8(out, r.appxPolicyQueryError);
  out += ",\"processElevated\":";
  out += !r.processElevated ? "null" : (*r.processElevated ? "true" : "false");
  out.push_back('}');
  return out;
}

}  // namespace tavo
