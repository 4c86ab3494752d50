#include "launcher/setup_instance.h"

namespace tavo::launcher {

std::optional<uint32_t> ClaimSetupInstance(const LaunchOptions& options, InstanceLock& lock) {
  if (!options.InstallRun()) return std::nullopt;
  if (lock.Take() != InstanceLock::Claim::Taken) return std::nullopt;
  lock.ShowOtherSetup();
  return kCodeAlreadyRunning;
}

}  // namespace tavo::launcher
