// Preflight: decides whether this PC can install Tavo Studio before anything is
// downloaded, and records the facts later steps use (low disk, App Installer version).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/host_facts.h"

namespace tavo::worker {

// What preflight asks of Windows. Methods throw hresult_error for Windows failures.
class PreflightPlatform {
 public:
  virtual ~PreflightPlatform() = default;

  virtual HostFacts Facts() = 0;
  // ApiInformation.IsMethodPresent(type, method).
  virtual bool IsMethodPresent(const std::wstring& type, const std::wstring& method) = 0;
  // The service's start type; nullopt when access to the service manager or the
  // service is denied. Other failures throw the Win32 error as an HRESULT.
  virtual std::optional<uint32_t> ServiceStartType(const std::wstring& name) = 0;
  struct OptionalService {
    bool known = false;
    bool available = false;
  };
  virtual OptionalService DeliveryOptimizationState() = 0;
  // GetWindowsDirectoryW into a 260-character buffer: its returned length and text.
  struct WindowsDirectory {
    uint32_t length = 0;
    std::wstring text;
  };
  virtual WindowsDirectory ReadWindowsDirectory() = 0;
  // Bytes available to the caller on the root, or the Win32 error of the query.
  struct FreeSpace {
    bool ok = false;
    uint64_t bytes = 0;
    uint32_t error = 0;
  };
  virtual FreeSpace FreeBytes(const std::wstring& root) = 0;
  // Versions (Major.Minor.Build.Revision) of the current user's App Installer packages.
  virtual std::vector<std::wstring> DesktopAppInstallerVersions() = 0;
};

inline constexpr uint64_t kRequiredFreeBytes = 3221225472ull;  // 3 GiB

// Runs the checks in order; throws SetupError for an unsupported PC and lets
// other Windows failures (hresult_error) pass. Not cancellable.
void Preflight(PreflightPlatform& platform);

// The Windows implementation.
PreflightPlatform& WindowsPreflightPlatform();

}  // namespace tavo::worker
