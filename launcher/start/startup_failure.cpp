#include "launcher/start/startup_failure.h"

#include "common/diagnostics/catalogue.h"
#include "common/text.h"
#include "launcher/start/launcher_codes.h"

namespace tavo::launcher {

namespace {
constexpr wchar_t kUpdateWindows[] = L"Tavo Setup couldn't start. Please update Windows and try again.";
}

StartupFailure FailureFromWindowsError(const hresult_error& error, bool installRun) {
  StartupFailure failure;
  failure.exitCode = static_cast<uint32_t>(error.code());
  failure.boxText = L"Tavo Setup couldn't start.\n\n" + CatalogueMessage(error.code()) + L"\n\n" +
                    Hex8(failure.exitCode);
  if (installRun) {
    failure.record = RecordFromWindowsError(L"launcher.startup_windows_error", L"Starting setup failed.", error);
  }
  return failure;
}

StartupFailure FailureFromStdException(const std::exception& error, bool installRun) {
  StartupFailure failure;
  failure.exitCode = kCodeStartupException;
  failure.boxText = kUpdateWindows;
  if (installRun) {
    failure.record =
        RecordFromStdException(L"launcher.startup_exception", error, static_cast<int32_t>(kCodeStartupException));
  }
  return failure;
}

StartupFailure FailureFromUnknown(bool installRun) {
  StartupFailure failure;
  failure.exitCode = kCodeStartupException;
  failure.boxText = kUpdateWindows;
  if (installRun) {
    failure.record = MakeRecord(static_cast<int32_t>(kCodeStartupException), L"launcher.startup_unknown_exception",
                                L"Starting setup failed with a non-WinRT exception.");
  }
  return failure;
}

}  // namespace tavo::launcher
