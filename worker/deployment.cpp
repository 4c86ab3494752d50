#include "worker/deployment.h"

#include <windows.h>

#include <atomic>

#include "build_info.h"
#include "common/diagnostics/error_record.h"
#include "common/text.h"
#include "worker/cancel.h"
#include "worker/events.h"
#include "worker/operation_log.h"
#include "worker/state.h"

namespace tavo::worker {
namespace {

constexpr int32_t kRetryPauseMs = 500;

// What the progress handler leaves for the failure path, and what it has shown.
struct ProgressCells {
  std::atomic<int32_t> percent{-1};
  std::atomic<int32_t> state{-1};
  // The `installing` 0 event before the call already stands, so a report of 0
  // shows nothing new; the cells above still say whether Windows reported at all.
  std::atomic<int32_t> shown{0};
};

void OnProgress(ProgressCells& cells, int32_t state, int32_t percent) {
  cells.state.exchange(state);
  cells.percent.exchange(percent);
  if (cells.shown.exchange(percent) == percent) return;
  Emit(L"installing", percent, L"Getting your studio ready", L"Downloading and installing Tavo Studio.", 0);
}

// One attempt; returns normally only for a deployment that succeeded.
void Attempt(PackageDeployer& deployer, uint32_t attempt, ProgressCells& cells) {
  RunState& run = Worker();
  LogOperation(run.currentOperation, L"begin",
               L"AddPackageByAppInstallerFileAsync; attempt=" + std::to_wstring(attempt) +
                   L"; uri=" + build::kDescriptorUri + L"; options=None",
               0);
  DeploymentOutcome outcome =
      deployer.Deploy([&cells](int32_t state, int32_t percent) { OnProgress(cells, state, percent); });
  if (!outcome.activityId.empty()) run.activityId = outcome.activityId;
  LogOperation(L"deployment.result", L"result",
               L"attempt=" + std::to_wstring(attempt) + L"; ExtendedErrorCode=" +
                   Hex8(static_cast<uint32_t>(outcome.extendedErrorCode)) + L"; ErrorText=" + outcome.errorText +
                   L"; ActivityId=" + run.activityId,
               outcome.extendedErrorCode);
  if (outcome.extendedErrorCode < 0) throw hresult_error(outcome.extendedErrorCode, outcome.errorText, nullptr);
}

}  // namespace

std::wstring ProgressStateName(int32_t state) {
  if (state < 0) return L"notReported";
  if (state == 0) return L"queued";
  if (state == 1) return L"processing";
  return L"unrecognized (" + std::to_wstring(state) + L")";
}

bool IsRetryableDeploymentCode(int32_t code) {
  switch (static_cast<uint32_t>(code)) {
    case 0x80D05011: case 0x80072EE2: case 0x80072EFD: case 0x80072EFE:
      return true;
    default:
      return false;
  }
}

void RunDeploymentAttempts(PackageDeployer& deployer) {
  RunState& run = Worker();
  for (uint32_t attempt = 1;; ++attempt) {
    ThrowIfCancelled();
    SetCurrentAttempt(attempt);
    if (attempt == 2) ++run.deploymentRetries;
    run.deployment.collect = true;
    run.deployment.progressState = L"notReported";
    run.activityId.clear();

    ProgressCells cells;
    // A failure that is not retried keeps what Windows last reported, for the
    // diagnostics; a cancelled run collects no diagnostics at all.
    auto keepProgress = [&] {
      if (CancelRequested()) {
        run.deployment = DeploymentDiagnostics{};
        return;
      }
      run.deployment.progressPercent = cells.percent.load();
      run.deployment.progressState = ProgressStateName(cells.state.load());
      run.deployment.activityId = run.activityId;
    };
    try {
      Attempt(deployer, attempt, cells);
      return;
    } catch (const hresult_error& error) {
      RegisterActiveDeployment(nullptr);
      if (attempt == 1 && !CancelRequested() && IsRetryableDeploymentCode(error.code())) {
        ErrorRecord record =
            RecordFromWindowsError(L"deployment.add_package", L"First deployment attempt failed.", error);
        record.attempt = 1;
        record.activityId = run.activityId;
        LogOperation(L"deployment.retry", L"error",
                     L"attempt=1; retrying once; activityId=" + run.activityId + L"; Windows: " +
                         ExceptionMessage(error),
                     error.code(), record);
        run.retryFailures.push_back(std::move(record));
        run.deployment = DeploymentDiagnostics{};
        ::Sleep(kRetryPauseMs);
        ThrowIfCancelled();
        continue;
      }
      keepProgress();
      throw;
    } catch (...) {
      RegisterActiveDeployment(nullptr);
      keepProgress();
      throw;
    }
  }
}

}  // namespace tavo::worker
