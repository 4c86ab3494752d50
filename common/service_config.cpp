#include "common/service_config.h"

#include <windows.h>

#include "common/diagnostics/system_snapshot.h"

namespace tavo {

ServiceStartTypeRead ReadServiceStartType(const std::wstring& name) {
  // The diagnostics' service adapter: one place asks Windows for a service's configuration.
  return ReadServiceStartType(*WindowsServiceControl(), name);
}

ServiceStartTypeRead ReadServiceStartType(ServiceControl& services, const std::wstring& name) {
  ServiceStartTypeRead read;
  if ((read.error = services.OpenManager()) != 0) return read;
  if ((read.error = services.OpenQueryService(name, ServiceAccess::Configuration)) != 0) return read;
  read.opened = true;
  read.error = ReadConfiguredStartType(services, read.startType);
  return read;
}

std::optional<bool> DeliveryOptimizationAvailable() {
  const ServiceStartTypeRead read = ReadServiceStartType(L"DoSvc");
  if (read.error == ERROR_SERVICE_DOES_NOT_EXIST) return false;
  if (read.error != 0) return std::nullopt;
  return read.startType != SERVICE_DISABLED;
}

}  // namespace tavo
