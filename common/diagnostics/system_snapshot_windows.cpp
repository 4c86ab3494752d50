// ServiceControl and PolicyStore answered by the Service Control Manager, the
// registry and the process token.
#include <windows.h>

#include <memory>
#include <vector>

#include "common/diagnostics/system_snapshot.h"
#include "common/handles.h"

namespace tavo {
namespace {

// Callers clear the last error before each call, so that a failure that sets
// none is not answered with an older call's error.
uint32_t FailureError() {
  const DWORD error = ::GetLastError();
  return error != 0 ? error : ERROR_GEN_FAILURE;
}

class WindowsServices final : public ServiceControl {
 public:
  uint32_t OpenManager() override {
    ::SetLastError(0);
    manager_.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return manager_ ? 0 : FailureError();
  }

  uint32_t OpenQueryService(const std::wstring& name, ServiceAccess access) override {
    const DWORD rights =
        access == ServiceAccess::Configuration ? SERVICE_QUERY_CONFIG : SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS;
    ::SetLastError(0);
    service_.reset(::OpenServiceW(manager_.get(), name.c_str(), rights));
    return service_ ? 0 : FailureError();
  }

  uint32_t ConfigSize(uint32_t& bytes) override {
    DWORD needed = 0;
    // Asking with no buffer fails with ERROR_INSUFFICIENT_BUFFER and the size;
    // a success would mean an empty configuration, which no service has.
    ::SetLastError(0);
    if (::QueryServiceConfigW(service_.get(), nullptr, 0, &needed)) return ERROR_INVALID_DATA;
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return FailureError();
    bytes = needed;
    return 0;
  }

  uint32_t ReadStartType(uint32_t bytes, uint32_t& startType) override {
    std::vector<uint64_t> buffer((bytes + 7) / 8);  // aligned for the structure
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    DWORD needed = 0;
    if (bytes < sizeof(QUERY_SERVICE_CONFIGW)) return ERROR_INSUFFICIENT_BUFFER;
    ::SetLastError(0);
    if (!::QueryServiceConfigW(service_.get(), config, bytes, &needed)) return FailureError();
    startType = config->dwStartType;
    return 0;
  }

  uint32_t ReadState(uint32_t& state) override {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    ::SetLastError(0);
    if (!::QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                sizeof(status), &needed))
      return FailureError();
    state = status.dwCurrentState;
    return 0;
  }

 private:
  UniqueServiceHandle manager_;
  UniqueServiceHandle service_;  // closed before the manager
};

class WindowsPolicies final : public PolicyStore {
 public:
  uint32_t ReadDword(const std::wstring& key, const std::wstring& name, uint32_t& value) override {
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LSTATUS status =
        ::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &data, &size);
    if (status == ERROR_SUCCESS) value = data;
    return static_cast<uint32_t>(status);
  }

  std::optional<bool> ProcessElevated() override {
    UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return std::nullopt;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size))
      return std::nullopt;
    return elevation.TokenIsElevated != 0;
  }
};

}  // namespace

std::unique_ptr<ServiceControl> WindowsServiceControl() { return std::make_unique<WindowsServices>(); }
std::unique_ptr<PolicyStore> WindowsPolicyStore() { return std::make_unique<WindowsPolicies>(); }

}  // namespace tavo
