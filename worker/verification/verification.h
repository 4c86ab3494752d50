// Verification: proves through the package manager that Tavo Studio is registered
// for the current user, healthy, and updating from the maker's descriptor; and the
// existing-install probe built on it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "common/winrt/com_ptr.h"

namespace tavo::abi {
struct IPackageManager;
}

namespace tavo::worker {

// ---- What verification asks of Windows ------------------------------------
// Every method throws hresult_error where the Windows call fails.

// AppInstallerInfo's update policy (IAppInstallerInfo2).
class UpdatePolicy {
 public:
  virtual ~UpdatePolicy() = default;
  virtual bool OnLaunch() = 0;
  virtual bool AutomaticBackgroundTask() = 0;
};

// The registered update URI (Windows.Foundation.Uri).
class UpdateUri {
 public:
  virtual ~UpdateUri() = default;
  virtual std::wstring AbsoluteUri() = 0;
};

// The package's App Installer association (AppInstallerInfo).
class AppInstallerInfo {
 public:
  virtual ~AppInstallerInfo() = default;
  // Null when Windows has no URI object.
  virtual std::unique_ptr<UpdateUri> Uri() = 0;
  // Never null; throws E_NOINTERFACE where Windows has no update-policy interface.
  virtual std::unique_ptr<UpdatePolicy> QueryPolicy() = 0;
};

// PackageStatus flags, in the order they are read and reported.
enum class StatusFlag {
  NotAvailable,
  PackageOffline,
  DataOffline,
  Disabled,
  NeedsRemediation,
  LicenseIssue,
  Modified,
  Tampered,
  DependencyIssue,
  Servicing,
  DeploymentInProgress,
  IsPartiallyStaged,
};
inline constexpr size_t kStatusFlagCount = 12;
// The flag's name, which is also its property name.
const wchar_t* StatusFlagName(StatusFlag flag);

class PackageStatus {
 public:
  virtual ~PackageStatus() = default;
  virtual bool VerifyIsOK() = 0;
  virtual bool Flag(StatusFlag flag) = 0;
};

// One package as Windows returned it.
class InstalledPackage {
 public:
  virtual ~InstalledPackage() = default;
  virtual std::wstring FullName() = 0;
  virtual std::wstring FamilyName() = 0;
  virtual std::wstring Name() = 0;
  virtual std::wstring Publisher() = 0;
  virtual std::unique_ptr<PackageStatus> Status() = 0;
  // Null when the package has no App Installer association.
  virtual std::unique_ptr<AppInstallerInfo> GetAppInstallerInfo() = 0;
};

// A walk over found packages in Windows' order.
class PackageCursor {
 public:
  virtual ~PackageCursor() = default;
  // The next package; null once the sequence is exhausted.
  virtual std::unique_ptr<InstalledPackage> Next() = 0;
};

// The package manager, always for the current user.
class PackageCatalog {
 public:
  virtual ~PackageCatalog() = default;
  // FindPackagesForUser("", name, publisher).
  virtual std::unique_ptr<PackageCursor> FindPackages(const std::wstring& name, const std::wstring& publisher) = 0;
  // FindPackageForUser("", fullName); null when the user has no such registration.
  virtual std::unique_ptr<InstalledPackage> FindPackageForUser(const std::wstring& fullName) = 0;
};

class PackagePlatform {
 public:
  virtual ~PackagePlatform() = default;
  // Activates a PackageManager.
  virtual std::unique_ptr<PackageCatalog> CreatePackageManager() = 0;
};

// ---- Verification ----------------------------------------------------------

enum class VerifyMode { PostDeployment, ExistingProbe };

// One verification run: fills Worker().verification, sets Worker().registered and
// records every failure (error store, current failure). True exactly when one
// package passed every check. A Windows error that escapes a step is recorded
// under that step and gives false; never throws.
bool Verify(VerifyMode mode, PackagePlatform& platform);
bool Verify(VerifyMode mode);  // through Windows

// Verify(ExistingProbe); when it passes, emits the launch identity and `installed`
// and returns true. False means: install as usual (failures are recorded).
bool ProbeExistingInstall(PackagePlatform& platform);
bool ProbeExistingInstall();  // through Windows

// Emits `launch` (family name + "!TavoStudio") for every found package whose full
// name is the one the last verification run checked, and returns how many it
// emitted. Windows errors propagate.
size_t ReportLaunchIdentity(PackageCatalog& catalog);
size_t ReportLaunchIdentity(const ComPtr<abi::IPackageManager>& manager);

// The Windows implementation.
std::unique_ptr<PackagePlatform> WindowsPackagePlatform();

}  // namespace tavo::worker
