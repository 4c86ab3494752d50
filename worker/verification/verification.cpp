#include "worker/verification/verification.h"

#include <windows.h>

#include <exception>
#include <utility>

#include "build_info.h"
#include "common/diagnostics/error_record.h"
#include "common/winrt/hresult_error.h"
#include "worker/run/error_store.h"
#include "worker/run/events.h"
#include "worker/run/operation_log.h"
#include "worker/run/state.h"

namespace tavo::worker {
namespace {

// A step that can throw: its operation name and the text of its failure record.
struct Step {
  const wchar_t* operation;
  const wchar_t* failureText;
};

constexpr Step kCreateManager{L"verification.create_package_manager", L"Creating PackageManager failed."};
constexpr Step kEnumerate{L"verification.enumerate_packages", L"Enumerating Tavo's registered packages failed."};
constexpr Step kNextPackage{L"verification.next_package",
                            L"Continuing to enumerate Tavo's registered packages failed."};
constexpr Step kReadIdentity{L"verification.read_package_identity",
                             L"Reading Tavo's installed package identity failed."};
constexpr Step kIdentityFields{L"verification.read_identity_fields", L"Reading package Name or Publisher failed."};
constexpr Step kFindRegistration{L"verification.find_registration",
                                 L"Looking up Tavo's registration for the current user failed."};
constexpr Step kReadHealth{L"verification.read_package_health", L"Reading Tavo's installed package health failed."};
constexpr wchar_t kStatusGetterFailed[] = L"PackageStatus getter failed.";
constexpr Step kReadAssociation{L"verification.read_association", L"Package.GetAppInstallerInfo failed for Tavo."};
constexpr Step kReadUpdateUri{L"verification.read_update_uri", L"Reading AppInstallerInfo.Uri failed for Tavo."};
constexpr Step kReadAbsoluteUri{L"verification.read_absolute_uri",
                                L"Reading the registered update URI's AbsoluteUri failed."};
constexpr Step kQueryPolicy{L"verification.query_policy_interface", L"Querying the update-policy interface failed."};
constexpr Step kReadOnLaunch{L"verification.read_on_launch", L"Reading the OnLaunch update setting failed."};
constexpr Step kReadBackground{L"verification.read_background",
                               L"Reading the AutomaticBackgroundTask update setting failed."};
constexpr Step kLaunchIdentity{L"existing.read_launch_identity",
                               L"Reading the existing Tavo installation's launch identity failed."};

// A check that did not pass: its code, operation name and message.
struct Failure {
  HRESULT code;
  const wchar_t* operation;
  const wchar_t* message;
};

constexpr Failure kPackageNotFound{
    static_cast<HRESULT>(0xA0041001), L"verification.package_not_found",
    L"No Tavo package with the expected name and publisher is registered for the current Windows user."};
constexpr Failure kRegistrationMissing{
    static_cast<HRESULT>(0xA0041002), L"verification.registration_missing",
    L"The enumerated Tavo package has no registration for the current Windows user."};
constexpr Failure kPackageUnhealthy{static_cast<HRESULT>(0xA0041003), L"verification.package_unhealthy",
                                    L"Package.Status.VerifyIsOK returned false for Tavo's installed package."};
constexpr Failure kAssociationMissing{
    static_cast<HRESULT>(0xA0041004), L"verification.association_missing",
    L"Package.GetAppInstallerInfo returned no App Installer association for Tavo."};
constexpr Failure kUpdateUriMissing{static_cast<HRESULT>(0xA0041005), L"verification.update_uri_missing",
                                    L"AppInstallerInfo.Uri returned no URI object for Tavo."};
constexpr Failure kUpdateUriEmpty{static_cast<HRESULT>(0xA0041006), L"verification.update_uri_empty",
                                  L"AppInstallerInfo.Uri.AbsoluteUri returned an empty string for Tavo."};
constexpr Failure kUpdateUriMismatch{static_cast<HRESULT>(0xA0041007), L"verification.update_uri_mismatch",
                                     L"Registered update URI differs from the expected source."};
constexpr Failure kBackgroundDisabled{
    static_cast<HRESULT>(0xA0041008), L"verification.background_disabled",
    L"AutomaticBackgroundTask is disabled for Tavo's registered App Installer policy."};
constexpr Failure kOnLaunchDisabled{static_cast<HRESULT>(0xA0041009), L"verification.on_launch_disabled",
                                    L"OnLaunch is disabled for Tavo's registered App Installer policy."};

constexpr HRESULT kUnexpectedException = static_cast<HRESULT>(0xA0041201);
// "Package was not found.": Windows' own code for a package that is not there.
constexpr HRESULT kPackageGone = HRESULT_FROM_WIN32(ERROR_INSTALL_PACKAGE_NOT_FOUND);

// The step a thrown Windows error is recorded under (process-wide, main thread only).
Step& CurrentStep() {
  static Step step = kCreateManager;
  return step;
}

void Begin(const Step& step) {
  CurrentStep() = step;
  LogOperation(step.operation, L"begin", L"", 0);
}

void Result(const std::wstring& operation, const std::wstring& detail) {
  LogOperation(operation, L"result", detail, 0);
}

const wchar_t* BoolText(bool value) { return value ? L"true" : L"false"; }

// Verification records carry the run's attempt number and the package under check.
ErrorRecord ForThisRun(ErrorRecord record) {
  record.attempt = Worker().verificationAttempt;
  record.packageFullName = Worker().verification.packageFullName;
  return record;
}

// A failure that decides the run: it becomes the current failure and enters the store.
void Declare(ErrorRecord record) {
  record = ForThisRun(std::move(record));
  SetCurrentFailure(record);
  AddRecord(std::move(record));
}

void Fail(const Failure& failure) { Declare(MakeRecord(failure.code, failure.operation, failure.message)); }

// Starts a package check from a clean slate, so that the record describes the
// package under check only and never lists a status flag twice.
void StartPackage(RunState& run) {
  run.registered = false;
  VerificationRecord& r = run.verification;
  VerificationRecord fresh;
  fresh.attempted = r.attempted;
  fresh.attempts = r.attempts;
  fresh.mode = std::move(r.mode);
  fresh.desktopAppInstallerVersion = std::move(r.desktopAppInstallerVersion);
  r = std::move(fresh);
}

// Reads the 12 flags; a flag that cannot be read is recorded and left out.
void ReadStatusFlags(PackageStatus& status, VerificationRecord& r) {
  for (size_t i = 0; i < kStatusFlagCount; ++i) {
    auto flag = static_cast<StatusFlag>(i);
    std::wstring operation = std::wstring(L"verification.package_status.") + StatusFlagName(flag);
    try {
      bool value = status.Flag(flag);
      r.packageStatus.emplace_back(StatusFlagName(flag), value);
      Result(operation, BoolText(value));
    } catch (const hresult_error& error) {
      AddRecord(ForThisRun(RecordFromWindowsError(operation, kStatusGetterFailed, error)));
    }
  }
}

// VerifyIsOK and the flags; true when the check may go on.
bool CheckHealth(InstalledPackage& package, VerificationRecord& r) {
  Begin(kReadHealth);
  std::unique_ptr<PackageStatus> status = package.Status();
  bool ok = status->VerifyIsOK();
  r.packageHealthy = ok;
  Result(kReadHealth.operation, std::wstring(L"VerifyIsOK=") + BoolText(ok));
  ReadStatusFlags(*status, r);
  if (ok) return true;

  bool allFalse = r.packageStatus.size() == kStatusFlagCount;
  for (const auto& entry : r.packageStatus) allFalse = allFalse && !entry.second;
  if (allFalse) {
    // Windows sometimes reports a package as not OK without naming any problem;
    // the association decides then.
    r.packageHealthInconsistent = true;
    Result(L"verification.health_inconsistent",
           L"VerifyIsOK=false while all 12 PackageStatus flags are false; checking App Installer association.");
    return true;
  }
  Fail(kPackageUnhealthy);
  return false;
}

// IAppInstallerInfo2: true when the policy allows updates or Windows cannot tell.
bool CheckUpdatePolicy(AppInstallerInfo& info, VerificationRecord& r) {
  Begin(kQueryPolicy);
  std::unique_ptr<UpdatePolicy> policy;
  try {
    policy = info.QueryPolicy();
  } catch (const hresult_error& error) {
    if (error.code() != E_NOINTERFACE) throw;
    // Windows 10 has no update-policy interface: nothing to check, not a failure.
    r.policyInterfaceSupported = false;
    LogOperation(kQueryPolicy.operation, L"unsupported", L"IAppInstallerInfo2 supported=false", E_NOINTERFACE,
                 ForThisRun(RecordFromWindowsError(kQueryPolicy.operation,
                                                   L"The object does not expose IAppInstallerInfo2.", error)));
    return true;
  }
  r.policyInterfaceSupported = true;
  Result(kQueryPolicy.operation, L"IAppInstallerInfo2 supported=true");

  Begin(kReadOnLaunch);
  bool onLaunch = policy->OnLaunch();
  r.onLaunch = onLaunch;
  Result(kReadOnLaunch.operation, std::wstring(L"OnLaunch=") + BoolText(onLaunch));

  Begin(kReadBackground);
  bool background = policy->AutomaticBackgroundTask();
  r.automaticBackgroundTask = background;
  Result(kReadBackground.operation, std::wstring(L"AutomaticBackgroundTask=") + BoolText(background));

  if (!background) Fail(kBackgroundDisabled);
  if (!onLaunch) Fail(kOnLaunchDisabled);
  return background && onLaunch;
}

// Every check on one enumerated package; true when it passes.
bool CheckPackage(PackageCatalog& catalog, InstalledPackage& package) {
  RunState& run = Worker();
  StartPackage(run);
  VerificationRecord& r = run.verification;

  Begin(kReadIdentity);
  r.packageFullName = package.FullName();
  // The family name makes the launch identity: a package without one cannot be opened.
  package.FamilyName();
  Result(kReadIdentity.operation, r.packageFullName);

  try {
    r.packageName = package.Name();
    r.publisher = package.Publisher();
    Result(L"verification.identity", L"Name=" + r.packageName + L"; Publisher=" + r.publisher);
  } catch (const hresult_error& error) {
    AddRecord(ForThisRun(RecordFromWindowsError(kIdentityFields.operation, kIdentityFields.failureText, error)));
  }

  Begin(kFindRegistration);
  bool present = catalog.FindPackageForUser(r.packageFullName) != nullptr;
  r.packagePresent = present;
  Result(kFindRegistration.operation, std::wstring(L"package present=") + BoolText(present));
  if (!present) {
    Fail(kRegistrationMissing);
    return false;
  }

  if (!CheckHealth(package, r)) return false;

  Begin(kReadAssociation);
  std::unique_ptr<AppInstallerInfo> info = package.GetAppInstallerInfo();
  r.associationPresent = info != nullptr;
  Result(kReadAssociation.operation, std::wstring(L"AppInstallerInfo present=") + BoolText(info != nullptr));
  if (!info) {
    Fail(kAssociationMissing);
    return false;
  }

  Begin(kReadUpdateUri);
  std::unique_ptr<UpdateUri> uri = info->Uri();
  r.uriPresent = uri != nullptr;
  Result(kReadUpdateUri.operation, std::wstring(L"URI object present=") + BoolText(uri != nullptr));
  if (!uri) {
    Fail(kUpdateUriMissing);
    return false;
  }

  Begin(kReadAbsoluteUri);
  r.appInstallerUri = uri->AbsoluteUri();
  Result(kReadAbsoluteUri.operation, r.appInstallerUri);
  if (r.appInstallerUri.empty()) {
    Fail(kUpdateUriEmpty);
    return false;
  }
  // Exact code units: Windows follows the registered address as it is.
  if (r.appInstallerUri != build::kDescriptorUri) {
    Declare(MakeRecord(kUpdateUriMismatch.code, kUpdateUriMismatch.operation,
                       std::wstring(kUpdateUriMismatch.message) + L" Expected: " + build::kDescriptorUri +
                           L"; actual: " + r.appInstallerUri));
    return false;
  }

  if (!CheckUpdatePolicy(*info, r)) return false;

  run.registered = true;
  r.verified = true;
  Result(L"verification.result", L"registered=true; package=" + r.packageFullName + L"; uri=" + r.appInstallerUri);
  return true;
}

// Walks the packages with the expected identity until one passes.
bool Enumerate(VerifyMode mode, PackagePlatform& platform) {
  RunState& run = Worker();
  run.registered = false;

  Begin(kCreateManager);
  std::unique_ptr<PackageCatalog> catalog = platform.CreatePackageManager();
  Result(kCreateManager.operation, L"PackageManager created");

  Begin(kEnumerate);
  std::unique_ptr<PackageCursor> packages = catalog->FindPackages(build::kPackageName, build::kPackagePublisher);
  bool examined = false;
  for (std::unique_ptr<InstalledPackage> package = packages->Next(); package;) {
    examined = true;
    if (CheckPackage(*catalog, *package)) return true;
    Begin(kNextPackage);
    package = packages->Next();
  }
  Result(kEnumerate.operation, std::wstring(L"matching packages found=") + BoolText(examined));
  if (examined) return false;

  run.verification.packagePresent = false;
  if (mode == VerifyMode::ExistingProbe)
    Emit(L"diagnostic", -1, L"existing.package_not_present",
         L"Tavo is not installed for the current Windows user; continuing with installation.", 0);
  else
    Fail(kPackageNotFound);
  return false;
}

}  // namespace

const wchar_t* StatusFlagName(StatusFlag flag) {
  static constexpr const wchar_t* kNames[kStatusFlagCount] = {
      L"NotAvailable",     L"PackageOffline", L"DataOffline",          L"Disabled",
      L"NeedsRemediation", L"LicenseIssue",   L"Modified",             L"Tampered",
      L"DependencyIssue",  L"Servicing",      L"DeploymentInProgress", L"IsPartiallyStaged"};
  auto index = static_cast<size_t>(flag);
  return index < kStatusFlagCount ? kNames[index] : L"";
}

bool Verify(VerifyMode mode, PackagePlatform& platform) {
  RunState& run = Worker();
  ++run.verificationAttempt;
  run.verification = VerificationRecord{};
  VerificationRecord& r = run.verification;
  r.attempted = true;
  r.attempts = run.verificationAttempt;
  r.mode = mode == VerifyMode::PostDeployment ? L"post_deployment" : L"existing_probe";
  r.desktopAppInstallerVersion = run.desktopAppInstallerVersion;
  LogOperation(L"verification.attempt", L"begin", L"mode=" + r.mode, 0);

  try {
    return Enumerate(mode, platform);
  } catch (const hresult_error& error) {
    const Step& step = CurrentStep();
    Declare(RecordFromWindowsError(step.operation, step.failureText, error));
  } catch (const std::exception& error) {
    // Not a Windows failure, but the run's caller expects a result, not an exception.
    Declare(RecordFromStdException(CurrentStep().operation, error, kUnexpectedException));
  }
  return false;
}

bool ProbeExistingInstall(PackagePlatform& platform) {
  if (!Verify(VerifyMode::ExistingProbe, platform)) return false;
  try {
    std::unique_ptr<PackageCatalog> catalog = platform.CreatePackageManager();
    // The package can go away between the two enumerations; the launcher
    // then has nothing to open.
    if (ReportLaunchIdentity(*catalog) == 0) throw hresult_error(kPackageGone, L"", nullptr);
    Emit(L"installed", 100, L"Tavo Studio is already installed", L"Opening Tavo Studio.", 0);
    return true;
  } catch (const hresult_error& error) {
    // The installed package cannot be opened by identity: install over it instead.
    AddRecord(RecordFromWindowsError(kLaunchIdentity.operation, kLaunchIdentity.failureText, error));
    Worker().registered = false;
    return false;
  }
}

size_t ReportLaunchIdentity(PackageCatalog& catalog) {
  const std::wstring verifiedName = Worker().verification.packageFullName;
  std::unique_ptr<PackageCursor> packages = catalog.FindPackages(build::kPackageName, build::kPackagePublisher);
  size_t emitted = 0;
  while (std::unique_ptr<InstalledPackage> package = packages->Next()) {
    if (package->FullName() != verifiedName) continue;
    Emit(L"launch", 100, L"Tavo application identity",
         package->FamilyName() + L"!" + build::kApplicationId, 0);
    ++emitted;
  }
  return emitted;
}

}  // namespace tavo::worker
