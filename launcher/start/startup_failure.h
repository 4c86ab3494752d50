// Start-up failures of the launcher: what is recorded, shown and returned for
// each kind of failure that escapes start-up.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "common/diagnostics/error_record.h"

namespace tavo::launcher {

struct StartupFailure {
  uint32_t exitCode = 0;
  std::wstring boxText;
  std::optional<ErrorRecord> record;  // built in install runs only: it exists to be sent
};

StartupFailure FailureFromWindowsError(const hresult_error& error, bool installRun);
StartupFailure FailureFromStdException(const std::exception& error, bool installRun);
StartupFailure FailureFromUnknown(bool installRun);

}  // namespace tavo::launcher
