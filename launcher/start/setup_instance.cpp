#include "launcher/start/setup_instance.h"

#include "common/diagnostics/catalogue.h"
#include "common/text.h"

namespace tavo::launcher {

std::optional<uint32_t> ClaimSetupInstance(const LaunchOptions& options, InstanceLock& lock) {
  if (!options.InstallRun()) return std::nullopt;
  if (lock.Take() != InstanceLock::Claim::Taken) return std::nullopt;
  // A silent run brings nothing forward: nobody asked for a window.
  if (!options.silent) lock.ShowOtherSetup();
  return kCodeAlreadyRunning;
}

std::wstring InstanceLockSddl(const std::wstring& userSid) {
  return L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;" + userSid + L")S:(ML;;NW;;;ME)";
}

FallbackReportInput GaveWayReport(const LaunchOptions& options, const HostFacts& host) {
  FallbackReportInput input;
  input.optionReportPath = options.reportPath;
  input.verbose = options.verbose;
  input.host = host;
  const int32_t code = static_cast<int32_t>(kCodeAlreadyRunning);
  input.errorCodeText = Hex8(code);
  input.statusText = CatalogueMessage(code);
  input.errors.push_back(MakeRecord(code, L"launcher.setup_already_running",
                                    L"Another Tavo setup is installing for this user; this run gave way to it."));
  return input;
}

}  // namespace tavo::launcher
