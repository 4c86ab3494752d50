// One reader of a service's configured start type, for the worker's preflight
// and both programs' telemetry environment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavo {

class ServiceControl;

struct ServiceStartTypeRead {
  bool opened = false;     // the manager and the service could be opened
  uint32_t error = 0;      // 0: read; else the failing call's Win32 error
                           // (ERROR_SERVICE_DOES_NOT_EXIST: no such service)
  uint32_t startType = 0;  // SERVICE_AUTO_START ... SERVICE_DISABLED, when read
};

// The service manager, the service (opened for its configuration only), then
// its configuration in two calls (the size, at most 64 KiB, then the
// configuration), through the diagnostics' service adapter. A call that fails
// without a last error gives ERROR_GEN_FAILURE, never an older call's error.
ServiceStartTypeRead ReadServiceStartType(const std::wstring& name);
ServiceStartTypeRead ReadServiceStartType(ServiceControl& services, const std::wstring& name);

// Whether the Delivery Optimization service (DoSvc) can run: false when it is
// missing or disabled, nothing when that cannot be read.
std::optional<bool> DeliveryOptimizationAvailable();

}  // namespace tavo
