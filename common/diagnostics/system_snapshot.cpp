#include "common/diagnostics/system_snapshot.h"

#include <windows.h>

#include <array>
#include <exception>

namespace tavo {
namespace {

constexpr std::array<const wchar_t*, 7> kServices = {
    L"AppXSvc", L"DoSvc", L"BITS", L"ClipSVC", L"InstallService", L"StateRepository", L"LicenseManager",
};

constexpr wchar_t kDeliveryOptimizationKey[] = L"SOFTWARE\\Policies\\Microsoft\\Windows\\DeliveryOptimization";

struct AppxPolicyKey {
  const wchar_t* key;
  const wchar_t* prefix;
};
constexpr std::array<AppxPolicyKey, 2> kAppxPolicyKeys = {{
    {L"SOFTWARE\\Policies\\Microsoft\\Windows\\Appx", L"GroupPolicy."},
    {L"SOFTWARE\\Microsoft\\PolicyManager\\current\\device\\ApplicationManagement", L"MDM."},
}};

std::wstring Unknown(uint32_t value) { return L"unknown (" + std::to_wstring(value) + L")"; }

ServiceEntry QueryService(ServiceControl& services, const wchar_t* name) {
  ServiceEntry entry;
  entry.name = name;
  if (uint32_t error = services.OpenQueryService(name, ServiceAccess::ConfigurationAndStatus)) {
    entry.availability = ServiceAvailability(error);
    entry.queryError = static_cast<int32_t>(error);
    return entry;
  }
  entry.availability = ServiceAvailability(0);
  uint32_t startType = 0;
  if (uint32_t error = ReadConfiguredStartType(services, startType); error == 0) {
    entry.startMode = ServiceStartMode(startType);
  } else {
    entry.queryError = static_cast<int32_t>(error);
  }
  uint32_t state = 0;
  if (uint32_t statusError = services.ReadState(state)) {
    if (entry.queryError == 0) entry.queryError = static_cast<int32_t>(statusError);
  } else {
    entry.state = ServiceStateText(state);
  }
  return entry;
}

}  // namespace

uint32_t ReadConfiguredStartType(ServiceControl& services, uint32_t& startType) {
  uint32_t bytes = 0;
  uint32_t error = services.ConfigSize(bytes);
  if (error == 0 && bytes > kMaxServiceConfigBytes) error = ERROR_MORE_DATA;
  if (error == 0) error = services.ReadStartType(bytes, startType);
  return error;
}

std::wstring ServiceAvailability(uint32_t openError) {
  switch (openError) {
    case 0: return L"present";
    case ERROR_SERVICE_DOES_NOT_EXIST: return L"missing";
    case ERROR_ACCESS_DENIED: return L"accessDenied";
    default: return L"unavailable";
  }
}

std::wstring ServiceStartMode(uint32_t startType) {
  constexpr std::array<const wchar_t*, 5> kModes = {L"boot", L"system", L"automatic", L"manual", L"disabled"};
  return startType < kModes.size() ? kModes[startType] : Unknown(startType);
}

std::wstring ServiceStateText(uint32_t state) {
  constexpr std::array<const wchar_t*, 7> kStates = {L"stopped",  L"starting", L"stopping", L"running",
                                                     L"resuming", L"pausing",  L"paused"};
  return state >= 1 && state <= kStates.size() ? kStates[state - 1] : Unknown(state);
}

void CollectServiceSnapshot(DeploymentDiagnostics& record, ServiceControl& services) {
  try {
    if (uint32_t error = services.OpenManager()) {
      for (const wchar_t* name : kServices) {
        ServiceEntry entry;
        entry.name = name;
        entry.availability = error == ERROR_ACCESS_DENIED ? L"accessDenied" : L"unavailable";
        entry.queryError = static_cast<int32_t>(error);
        record.serviceSnapshot.push_back(std::move(entry));
      }
      return;
    }
    for (const wchar_t* name : kServices) record.serviceSnapshot.push_back(QueryService(services, name));
  } catch (const std::exception&) {
    // Whatever was gathered stays; diagnostics never change the run.
  }
}

void CollectDeliveryOptimizationPolicies(DeploymentDiagnostics& record, PolicyStore& policies) {
  try {
    for (const wchar_t* name : {L"DODownloadMode", L"DownloadMode"}) {
      uint32_t value = 0;
      // Not set, or not readable: either way there is no policy to show.
      if (policies.ReadDword(kDeliveryOptimizationKey, name, value) == 0)
        record.deliveryOptimizationPolicies.emplace_back(name, value);
    }
  } catch (const std::exception&) {
    // As above: what was gathered stays.
  }
}

void CollectAppxPolicies(DeploymentDiagnostics& record, PolicyStore& policies) {
  try {
    for (const AppxPolicyKey& key : kAppxPolicyKeys) {
      for (const wchar_t* name : {L"BlockNonAdminUserInstall", L"AllowAllTrustedApps"}) {
        uint32_t value = 0;
        const uint32_t error = policies.ReadDword(key.key, name, value);
        if (error == 0) {
          record.appxPolicies.emplace_back(std::wstring(key.prefix) + name, value);
        } else if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && record.appxPolicyQueryError == 0) {
          record.appxPolicyQueryError = static_cast<int32_t>(error);
        }
      }
    }
    record.processElevated = policies.ProcessElevated();
  } catch (const std::exception&) {
    // As above: what was gathered stays.
  }
}

}  // namespace tavo
