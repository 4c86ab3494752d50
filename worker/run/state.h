// The worker's process-wide state, in one place. Only the main thread writes the
// plain fields; the reporting, record-store and cancel state have locks of their own.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "common/diagnostics/catalogue.h"
#include "common/diagnostics/deployment_diagnostics.h"
#include "common/diagnostics/error_record.h"
#include "common/telemetry/delivery.h"
#include "worker/verification/verification_record.h"

namespace tavo::worker {

struct RunState {
  bool verbose = false;
  std::wstring reportPath;
  std::wstring visitorId;
  std::wstring currentOperation = L"worker.initialize";
  uint32_t currentAttempt = 0;
  uint32_t descriptorRetries = 0;
  uint32_t deploymentRetries = 0;
  std::vector<ErrorRecord> retryFailures;
  std::wstring activityId;  // the deployment's activity id, once it has one
  uint64_t startTick = ::GetTickCount64();

  LowDiskState disk;                        // written by the preflight disk step
  std::wstring desktopAppInstallerVersion;  // written by the preflight App Installer step

  VerificationRecord verification;
  bool registered = false;
  uint32_t verificationAttempt = 0;

  DeploymentDiagnostics deployment;
  TelemetryDelivery telemetry;
};

RunState& Worker();

// Plain stores used by every stage before it calls Windows.
void SetCurrentOperation(std::wstring name);
void SetCurrentAttempt(uint32_t attempt);

#ifdef TAVO_TEST_HOOKS
// Puts every process-wide item of the worker back to its start value.
void ResetWorkerStateForTests();
#endif

}  // namespace tavo::worker
