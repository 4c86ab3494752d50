#include "worker/deployment/install_stage.h"

#include <windows.h>

#include "common/winrt/abi.h"
#include "common/winrt/winrt.h"
#include "worker/run/cancel.h"
#include "worker/deployment/deployment.h"
#include "worker/deployment/deployment_windows.h"
#include "worker/descriptor/descriptor_download.h"
#include "worker/descriptor/descriptor_validation.h"
#include "worker/run/error_store.h"
#include "worker/run/errors.h"
#include "worker/run/events.h"
#include "worker/run/operation_log.h"
#include "worker/preflight/preflight.h"
#include "worker/run/state.h"
#include "worker/verification/verification.h"

namespace tavo::worker {
namespace {

constexpr ULONGLONG kVerificationWindowMs = 3000;
constexpr DWORD kVerificationPauseMs = 250;

// Verifies the new registration for up to 3 seconds; throws VerificationFailure.
void VerifyAfterDeployment() {
  SetCurrentOperation(L"verification");
  const ULONGLONG start = ::GetTickCount64();
  while (!Verify(VerifyMode::PostDeployment)) {
    if (::GetTickCount64() >= start + kVerificationWindowMs) {
      RunState& run = Worker();
      run.deployment.collect = true;
      run.deployment.apiReportedSuccess = true;
      run.deployment.progressState = L"notReported";
      run.deployment.activityId = run.activityId;
      throw VerificationFailure(CurrentFailure().code,
                                L"Tavo was installed, but setup couldn't verify its update registration. Run setup "
                                L"again, or repair Tavo Studio in Windows Settings under Apps.");
    }
    ::Sleep(kVerificationPauseMs);
  }
}

}  // namespace

bool InstallStage(bool openExisting) {
  if (openExisting && ProbeExistingInstall()) return true;
  Preflight(WindowsPreflightPlatform());
  ThrowIfCancelled();
  Emit(L"preparing", -1, L"Connecting to Tavo", L"Reading the latest release and automatic update settings.", 0);

  std::string body = DownloadDescriptorWithRetry();
  SetCurrentOperation(L"descriptor.validate");
  LogOperation(L"descriptor.validate", L"begin", L"", 0);
  ValidateDescriptor(body);
  LogOperation(L"descriptor.validate", L"result", L"descriptor accepted", 0);
  ThrowIfCancelled();

  auto manager = ActivateInstance<abi::IPackageManager>(abi::kClassPackageManager, abi::IID_IPackageManager);
  Emit(L"installing", 0, L"Getting your studio ready",
       L"Windows is downloading and installing Tavo. We'll keep you posted.", 0);
  SetCurrentOperation(L"deployment.add_package");
  RunDeploymentAttempts(*MakeWindowsPackageDeployer(manager));
  SetCurrentAttempt(0);
  Worker().deployment = DeploymentDiagnostics{};

  Emit(L"verifying", 100, L"Connecting automatic updates",
       L"Making sure Windows knows where your next Tavo update comes from.", 0);
  VerifyAfterDeployment();

  SetCurrentOperation(L"deployment.read_launch_identity");
  ReportLaunchIdentity(manager);
  Emit(L"success", 100, L"Your studio is ready", L"Tavo is installed, with automatic updates connected.", 0);
  return false;
}

}  // namespace tavo::worker
