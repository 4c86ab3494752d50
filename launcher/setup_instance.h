// One install at a time per user session: an install run holds a named lock
// for its whole life (its "Try again" sessions too). A second install run
// that finds it taken starts nothing: it brings the first setup window to the
// front and ends with 0x80070652, which IT tools know as "another installation
// is already in progress". Check runs and previews never take the lock.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "launcher/launch_options.h"

namespace tavo::launcher {

// HRESULT_FROM_WIN32(ERROR_INSTALL_ALREADY_RUNNING).
inline constexpr uint32_t kCodeAlreadyRunning = 0x80070652;

class InstanceLock {
 public:
  enum class Claim {
    Owned,      // taken: this run is the one
    Abandoned,  // left by a setup that died: taken over
    Taken,      // another setup holds it
  };
  virtual ~InstanceLock() = default;
  // Takes the lock without waiting, for the rest of the process.
  virtual Claim Take() = 0;
  // Restores the setup window of the run that holds the lock and brings it to
  // the front, passing on the foreground right the user gave this run.
  virtual void ShowOtherSetup() = 0;
};

// Nothing when this run goes on; the exit code when it gives way.
std::optional<uint32_t> ClaimSetupInstance(const LaunchOptions& options, InstanceLock& lock);

// The lock as a mutex in the session's local namespace.
std::unique_ptr<InstanceLock> WindowsInstanceLock();

}  // namespace tavo::launcher
