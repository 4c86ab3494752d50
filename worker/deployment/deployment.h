// The deployment attempts: Windows installs the package from the descriptor's
// address, with progress events and one retry for a few transient failures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tavo::worker {

// What a finished deployment call handed out: the DeploymentResult, and the
// operation's own error code when it ended in status Error.
struct DeploymentOutcome {
  std::wstring activityId;  // `{XXXXXXXX-...}` upper case, empty for the all-zero GUID
  int32_t extendedErrorCode = 0;
  std::wstring errorText;
  int32_t errorCode = 0;  // IAsyncInfo::ErrorCode of a failed operation; 0 for a completed one
};

// One call of AddPackageByAppInstallerFileAsync as the install stage sees it.
class PackageDeployer {
 public:
  virtual ~PackageDeployer() = default;
  // Starts the deployment, registers it for cancellation, reports progress
  // (state, percentage) on any thread, and waits for it. `onProgress` may be
  // copied into a handler that Windows still calls after Deploy returned. Throws hresult_error for
  // a failed operation without a result and 0x800704C7 for a cancelled one.
  using ProgressFn = std::function<void(int32_t state, int32_t percent)>;
  virtual DeploymentOutcome Deploy(const ProgressFn& onProgress) = 0;
};

// Runs attempt 1 and, for a retryable failure, attempt 2. Keeps the deployment
// diagnostics record, the activity id, the retry statistics and the log; throws
// the failure that is not retried.
void RunDeploymentAttempts(PackageDeployer& deployer);

// "queued", "processing", "notReported" or "unrecognized (n)".
std::wstring ProgressStateName(int32_t state);
bool IsRetryableDeploymentCode(int32_t code);

}  // namespace tavo::worker
