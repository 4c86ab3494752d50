// The verification record: what the last verification run found about the
// installed package. The report and telemetry embed its JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavo::worker {

using TriState = std::optional<bool>;

struct VerificationRecord {
  bool attempted = false;
  bool verified = false;
  uint32_t attempts = 0;
  std::wstring mode;
  std::wstring packageFullName;
  std::wstring packageName;
  std::wstring publisher;
  std::wstring appInstallerUri;
  std::wstring desktopAppInstallerVersion;
  TriState packagePresent;
  TriState packageHealthy;
  bool packageHealthInconsistent = false;
  TriState associationPresent;
  TriState uriPresent;
  TriState policyInterfaceSupported;
  TriState onLaunch;
  TriState automaticBackgroundTask;
  std::vector<std::pair<std::wstring, bool>> packageStatus;  // flag name, value
};

std::string VerificationJson(const VerificationRecord& record);

}  // namespace tavo::worker
