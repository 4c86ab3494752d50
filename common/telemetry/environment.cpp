#include "common/telemetry/environment.h"

#include <windows.h>

#include <vector>

#include "common/handles.h"
#include "common/host_facts.h"
#include "common/telemetry/installer_profile.h"

namespace tavo {

std::optional<bool> DeliveryOptimizationServiceAvailable() {
  UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return std::nullopt;
  UniqueServiceHandle service(::OpenServiceW(manager.get(), L"DoSvc", SERVICE_QUERY_CONFIG));
  if (!service) {
    if (::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return false;
    return std::nullopt;
  }
  // The size probe must ask for a plausible buffer; anything else is unreadable.
  DWORD needed = 0;
  if (::QueryServiceConfigW(service.get(), nullptr, 0, &needed) || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
      needed == 0 || needed > 65536)
    return std::nullopt;
  std::vector<uint64_t> buffer((needed + sizeof(uint64_t) - 1) / sizeof(uint64_t));  // aligned for the structure
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!::QueryServiceConfigW(service.get(), config, needed, &needed)) return std::nullopt;
  return config->dwStartType != SERVICE_DISABLED;
}

EnvironmentFacts ReadEnvironment(std::wstring_view visitorId) {
  EnvironmentFacts facts;
  facts.windowsBuild = WindowsBuild();
  facts.windowsVersion = WindowsVersionText();
  facts.nativeArchitecture = ArchitectureName(NativeArchitecture());
  facts.avxAvailable = AvxAvailable(EnabledXStateMask());
  facts.deliveryOptimizationServiceAvailable = DeliveryOptimizationServiceAvailable();
  facts.installerProfileId = GetOrCreateProfile(visitorId);
  return facts;
}

}  // namespace tavo
