// The services and policies part of the deployment diagnostics: the Windows
// services that installation depends on and the policies that can block or
// shape it. Logic over small platform interfaces; system_snapshot_windows.cpp
// answers them with the Service Control Manager, the registry and the token.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/diagnostics/deployment_diagnostics.h"

namespace tavo {

inline constexpr uint32_t kMaxServiceConfigBytes = 65536;

// What a service is opened for. A service's access list may grant one right
// and not the other, so each reader asks for no more than it reads.
enum class ServiceAccess {
  Configuration,           // the configuration only
  ConfigurationAndStatus,  // the configuration and the process status
};

// The service manager and one open service at a time. Every call returns 0 or
// the Win32 error of the failing call.
class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  // Connects to the service manager.
  virtual uint32_t OpenManager() = 0;
  // Opens the service with that access; it becomes the current one.
  virtual uint32_t OpenQueryService(const std::wstring& name, ServiceAccess access) = 0;
  // The byte size of the current service's configuration.
  virtual uint32_t ConfigSize(uint32_t& bytes) = 0;
  // Reads the configuration into a buffer of `bytes` and gives its start type.
  virtual uint32_t ReadStartType(uint32_t bytes, uint32_t& startType) = 0;
  // The current state from the process status information.
  virtual uint32_t ReadState(uint32_t& state) = 0;
};

class PolicyStore {
 public:
  virtual ~PolicyStore() = default;
  // A DWORD value under HKEY_LOCAL_MACHINE, read with a DWORD-only type
  // restriction: 0 or the registry error.
  virtual uint32_t ReadDword(const std::wstring& key, const std::wstring& name, uint32_t& value) = 0;
  // Whether the process token is elevated; none when it cannot be read.
  virtual std::optional<bool> ProcessElevated() = 0;
};

// The current service's configured start type: its size (at most
// kMaxServiceConfigBytes, else ERROR_MORE_DATA), then the configuration.
// 0 or the Win32 error.
uint32_t ReadConfiguredStartType(ServiceControl& services, uint32_t& startType);

// "present", "missing", "accessDenied" or "unavailable" for an open's error.
std::wstring ServiceAvailability(uint32_t openError);
// "boot" .. "disabled", or "unknown (n)".
std::wstring ServiceStartMode(uint32_t startType);
// "stopped" .. "paused", or "unknown (n)".
std::wstring ServiceStateText(uint32_t state);

// One entry for each of the seven services, in their order. Never throws.
void CollectServiceSnapshot(DeploymentDiagnostics& record, ServiceControl& services);
// DODownloadMode and DownloadMode when set; failures are skipped. Never throws.
void CollectDeliveryOptimizationPolicies(DeploymentDiagnostics& record, PolicyStore& policies);
// The Group Policy and MDM values, the first unexpected error, and the
// token's elevation. Never throws.
void CollectAppxPolicies(DeploymentDiagnostics& record, PolicyStore& policies);

std::unique_ptr<ServiceControl> WindowsServiceControl();
std::unique_ptr<PolicyStore> WindowsPolicyStore();

}  // namespace tavo
