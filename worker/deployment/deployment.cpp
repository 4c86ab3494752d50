#include "worker/deployment/deployment.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

#include "build_info.h"
#include "common/diagnostics/error_record.h"
#include "common/text.h"
#include "worker/run/cancel.h"
#include "worker/run/events.h"
#include "worker/run/operation_log.h"
#include "worker/run/state.h"

namespace tavo::worker {
namespace {

constexpr int32_t kRetryPauseMs = 500;

// What the progress handler leaves for the failure path, and what it has shown.
// Windows may deliver a report on its own thread while or after the completion
// handler runs, so the handler shares ownership of the cells and a completed
// attempt refuses every later report.
struct ProgressCells {
  std::atomic<int32_t> percent{-1};
  std::atomic<int32_t> state{-1};
  std::mutex lock;  // orders each report against the attempt's completion
  // The `installing` 0 event before the call already stands, so a report of 0
  // shows nothing new; the cells above still say whether Windows reported at all.
  int32_t shown = 0;
  bool completed = false;

  void Complete() {
    std::lock_guard guard(lock);
    completed = true;
  }
};

void OnProgress(ProgressCells& cells, int32_t state, int32_t percent) {
  // Held while emitting: once Complete() returned, no `installing` line can
  // follow the stage's next event.
  std::lock_guard guard(cells.lock);
  if (cells.completed) return;
  cells.state.exchange(state);
  cells.percent.exchange(percent);
  if (std::exchange(cells.shown, percent) == percent) return;
  Emit(L"installing", percent, L"Getting your studio ready", L"Downloading and installing Tavo Studio.", 0);
}

// Marks the attempt's cells completed when the attempt ends, however it ends.
class CompletionMark {
 public:
  explicit CompletionMark(ProgressCells& cells) : cells_(cells) {}
  CompletionMark(const CompletionMark&) = delete;
  CompletionMark& operator=(const CompletionMark&) = delete;
  ~CompletionMark() { cells_.Complete(); }

 private:
  ProgressCells& cells_;
};

// One attempt; returns normally only for a deployment that succeeded.
void Attempt(PackageDeployer& deployer, uint32_t attempt, const std::shared_ptr<ProgressCells>& cells) {
  RunState& run = Worker();
  LogOperation(run.currentOperation, L"begin",
               L"AddPackageByAppInstallerFileAsync; attempt=" + std::to_wstring(attempt) +
                   L"; uri=" + build::kDescriptorUri + L"; options=None",
               0);
  DeploymentOutcome outcome;
  {
    CompletionMark mark(*cells);
    outcome = deployer.Deploy([cells](int32_t state, int32_t percent) { OnProgress(*cells, state, percent); });
  }
  if (!outcome.activityId.empty()) run.activityId = outcome.activityId;
  LogOperation(L"deployment.result", L"result",
               L"attempt=" + std::to_wstring(attempt) + L"; ExtendedErrorCode=" +
                   Hex8(static_cast<uint32_t>(outcome.extendedErrorCode)) + L"; ErrorText=" + outcome.errorText +
                   L"; ActivityId=" + run.activityId,
               outcome.extendedErrorCode);
  // A failed operation fails with its own code, whatever its result's
  // ExtendedErrorCode says; that code decides only for a completed operation.
  const int32_t failure = outcome.errorCode < 0 ? outcome.errorCode : outcome.extendedErrorCode;
  if (failure < 0) throw hresult_error(failure, outcome.errorText, nullptr);
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

    auto cells = std::make_shared<ProgressCells>();
    // A failure that is not retried keeps what Windows last reported, for the
    // diagnostics; a cancelled run collects no diagnostics at all.
    auto keepProgress = [&] {
      if (CancelRequested()) {
        run.deployment = DeploymentDiagnostics{};
        return;
      }
      run.deployment.progressPercent = cells->percent.load();
      run.deployment.progressState = ProgressStateName(cells->state.load());
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
