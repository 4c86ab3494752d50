// One install at a time per user session: an install run holds a named lock
// for its whole life (its "Try again" sessions too). A second install run
// that finds it taken starts nothing: it brings the first setup window to the
// front and ends with 0x80070652, which IT tools know as "another installation
// is already in progress". Check runs and previews never take the lock.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "launcher/outcome/fallback_report.h"
#include "launcher/start/launch_options.h"

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

// The lock's security descriptor: full access for SYSTEM, Administrators and
// the user, and a medium integrity label, so that an elevated and a
// non-elevated setup of the same user open each other's lock.
std::wstring InstanceLockSddl(const std::wstring& userSid);

// The report of a run that gave way, for the --report path it was promised
// (nothing to write without one): the code, its sentence and one record.
FallbackReportInput GaveWayReport(const LaunchOptions& options, const HostFacts& host);

// The name of the lock in the session's local namespace.
inline constexpr wchar_t kInstanceLockName[] = L"Local\\TavoStudio.Setup.InstallRun";

// The lock as a named mutex (tests give it a name of their own).
std::unique_ptr<InstanceLock> WindowsInstanceLock(std::wstring name = kInstanceLockName);

}  // namespace tavo::launcher
