#include "worker/run/run_outcome.h"

#include "common/diagnostics/catalogue.h"
#include "common/diagnostics/error_record.h"
#include "common/text.h"
#include "worker/run/cancel.h"
#include "worker/run/error_store.h"
#include "worker/run/events.h"
#include "worker/run/state.h"

namespace tavo::worker {
namespace {

constexpr int32_t kUnexpectedException = static_cast<int32_t>(0xA0041201);

struct Failure {
  const hresult_error& error;
  bool useExceptionMessage;
  bool alreadyRecorded;
  std::wstring operation;
  std::wstring detail;
};

void ReportFailure(RunOutcome& outcome, const Failure& f) {
  outcome.exitCode = f.error.code();
  const bool cancelled = UserCancelled() && CancelRequested();
  outcome.outcome = cancelled ? L"cancelled" : L"failed";
  outcome.failureReported = !cancelled;

  std::wstring message = f.useExceptionMessage ? f.error.message() : CatalogueMessage(outcome.exitCode);
  if (cancelled) {
    Emit(L"cancelled", -1, L"Installation cancelled", CatalogueMessage(outcome.exitCode), outcome.exitCode);
  } else {
    Emit(L"error", -1, L"Let's get this sorted", WithLowDiskNote(message, Worker().disk), outcome.exitCode);
  }
  if (f.alreadyRecorded || cancelled) return;

  const RunState& run = Worker();
  ErrorRecord record;
  if (f.useExceptionMessage) {
    record = MakeRecord(outcome.exitCode, f.operation, f.detail.empty() ? f.operation : f.detail);
  } else {
    record = RecordFromWindowsError(run.currentOperation,
                                    L"Windows API failure during " + run.currentOperation + L".", f.error);
  }
  record.attempt = run.currentAttempt;
  AddRecord(std::move(record));
}

}  // namespace

void HandleSetupFailure(RunOutcome& outcome, const SetupError& error, bool verification) {
  ReportFailure(outcome, {error, true, verification || error.recorded(), error.operation(), error.detail()});
}

void HandleWindowsFailure(RunOutcome& outcome, const hresult_error& error) {
  ReportFailure(outcome, {error, false, false, {}, {}});
}

void HandleStdException(RunOutcome& outcome, const std::exception& error) {
  ErrorRecord record = RecordFromStdException(L"installer.unexpected_exception", error, kUnexpectedException);
  outcome.exitCode = kUnexpectedException;
  outcome.outcome = L"failed";
  outcome.failureReported = true;
  AddRecord(std::move(record));
  Emit(L"error", -1, L"Let's get this sorted", WithLowDiskNote(Utf16(error.what()), Worker().disk),
       kUnexpectedException);
}

}  // namespace tavo::worker
