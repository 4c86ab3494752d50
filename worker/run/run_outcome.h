// How a worker run ended, and the handlers that turn a stage's failure into it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "common/winrt/hresult_error.h"

namespace tavo::worker {

struct RunOutcome {
  int32_t exitCode = 0;
  std::wstring outcome = L"installed";  // installed, already_installed, failed, cancelled
  bool failureReported = false;
};

// Runs `stage` in the guarded region: every failure it throws becomes one
// terminal `error` or `cancelled` event and at most one error record.
template <typename Stage>
void RunGuarded(RunOutcome& outcome, Stage&& stage);

// The handlers, in match order.
void HandleSetupFailure(RunOutcome& outcome, const class SetupError& error, bool verification);
void HandleWindowsFailure(RunOutcome& outcome, const hresult_error& error);
void HandleStdException(RunOutcome& outcome, const std::exception& error);

}  // namespace tavo::worker

#include "worker/run/errors.h"

namespace tavo::worker {

template <typename Stage>
void RunGuarded(RunOutcome& outcome, Stage&& stage) {
  try {
    stage();
  } catch (const VerificationFailure& error) {
    HandleSetupFailure(outcome, error, true);
  } catch (const SetupError& error) {
    HandleSetupFailure(outcome, error, false);
  } catch (const hresult_error& error) {
    HandleWindowsFailure(outcome, error);
  } catch (const std::exception& error) {
    HandleStdException(outcome, error);
  }
}

}  // namespace tavo::worker
