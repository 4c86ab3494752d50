// Verification's questions, answered by the Windows package manager: one class per
// Windows Runtime object, one call per read.
#include <windows.h>

#include <memory>
#include <utility>

#include "common/winrt/abi.h"
#include "common/winrt/winrt.h"
#include "worker/verification/verification.h"

namespace tavo::worker {
namespace {

// A Windows call that succeeded with no object where one must come back.
template <typename T>
ComPtr<T> Required(ComPtr<T> object) {
  if (!object) throw hresult_error(E_POINTER, L"", nullptr);
  return object;
}

// One Boolean property getter (a WinRT Boolean is one byte).
template <typename I>
bool ReadBool(I* object, HRESULT (STDMETHODCALLTYPE I::*getter)(boolean*)) {
  boolean value = 0;
  CheckHr((object->*getter)(&value));
  return value != 0;
}

class WindowsUpdatePolicy final : public UpdatePolicy {
 public:
  explicit WindowsUpdatePolicy(ComPtr<abi::IAppInstallerInfo2> info) : info_(std::move(info)) {}
  bool OnLaunch() override { return ReadBool(info_.get(), &abi::IAppInstallerInfo2::get_OnLaunch); }
  bool AutomaticBackgroundTask() override {
    return ReadBool(info_.get(), &abi::IAppInstallerInfo2::get_AutomaticBackgroundTask);
  }

 private:
  ComPtr<abi::IAppInstallerInfo2> info_;
};

class WindowsUpdateUri final : public UpdateUri {
 public:
  explicit WindowsUpdateUri(ComPtr<abi::IUriRuntimeClass> uri) : uri_(std::move(uri)) {}
  std::wstring AbsoluteUri() override {
    HString value;
    CheckHr(uri_->get_AbsoluteUri(value.put()));
    return value.str();
  }

 private:
  ComPtr<abi::IUriRuntimeClass> uri_;
};

class WindowsAppInstallerInfo final : public AppInstallerInfo {
 public:
  explicit WindowsAppInstallerInfo(ComPtr<abi::IAppInstallerInfo> info) : info_(std::move(info)) {}
  std::unique_ptr<UpdateUri> Uri() override {
    ComPtr<abi::IUriRuntimeClass> uri;
    CheckHr(info_->get_Uri(uri.put()));
    if (!uri) return nullptr;
    return std::make_unique<WindowsUpdateUri>(std::move(uri));
  }
  std::unique_ptr<UpdatePolicy> QueryPolicy() override {
    ComPtr<abi::IAppInstallerInfo2> policy;
    // E_NOINTERFACE (Windows 10) travels as the exception the caller looks for.
    CheckHr(info_.As(abi::IID_IAppInstallerInfo2, policy));
    return std::make_unique<WindowsUpdatePolicy>(Required(std::move(policy)));
  }

 private:
  ComPtr<abi::IAppInstallerInfo> info_;
};

class WindowsPackageStatus final : public PackageStatus {
 public:
  explicit WindowsPackageStatus(ComPtr<abi::IPackageStatus> status) : status_(std::move(status)) {}
  bool VerifyIsOK() override { return ReadBool(status_.get(), &abi::IPackageStatus::VerifyIsOK); }
  bool Flag(StatusFlag flag) override {
    using S = abi::IPackageStatus;
    S* s = status_.get();
    switch (flag) {
      case StatusFlag::NotAvailable: return ReadBool(s, &S::get_NotAvailable);
      case StatusFlag::PackageOffline: return ReadBool(s, &S::get_PackageOffline);
      case StatusFlag::DataOffline: return ReadBool(s, &S::get_DataOffline);
      case StatusFlag::Disabled: return ReadBool(s, &S::get_Disabled);
      case StatusFlag::NeedsRemediation: return ReadBool(s, &S::get_NeedsRemediation);
      case StatusFlag::LicenseIssue: return ReadBool(s, &S::get_LicenseIssue);
      case StatusFlag::Modified: return ReadBool(s, &S::get_Modified);
      case StatusFlag::Tampered: return ReadBool(s, &S::get_Tampered);
      case StatusFlag::DependencyIssue: return ReadBool(s, &S::get_DependencyIssue);
      case StatusFlag::Servicing: return ReadBool(s, &S::get_Servicing);
      case StatusFlag::DeploymentInProgress: return ReadBool(s, &S::get_DeploymentInProgress);
      case StatusFlag::IsPartiallyStaged: {
        ComPtr<abi::IPackageStatus2> status2;
        CheckHr(status_.As(abi::IID_IPackageStatus2, status2));
        return ReadBool(Required(std::move(status2)).get(), &abi::IPackageStatus2::get_IsPartiallyStaged);
      }
    }
    throw hresult_error(E_INVALIDARG, L"", nullptr);
  }

 private:
  ComPtr<abi::IPackageStatus> status_;
};

class WindowsPackage final : public InstalledPackage {
 public:
  explicit WindowsPackage(ComPtr<abi::IPackage> package) : package_(std::move(package)) {}
  std::wstring FullName() override { return IdText(&abi::IPackageId::get_FullName); }
  std::wstring FamilyName() override { return IdText(&abi::IPackageId::get_FamilyName); }
  std::wstring Name() override { return IdText(&abi::IPackageId::get_Name); }
  std::wstring Publisher() override { return IdText(&abi::IPackageId::get_Publisher); }

  std::unique_ptr<PackageStatus> Status() override {
    ComPtr<abi::IPackage3> package3;
    CheckHr(package_.As(abi::IID_IPackage3, package3));
    ComPtr<abi::IPackageStatus> status;
    CheckHr(Required(std::move(package3))->get_Status(status.put()));
    return std::make_unique<WindowsPackageStatus>(Required(std::move(status)));
  }

  std::unique_ptr<AppInstallerInfo> GetAppInstallerInfo() override {
    ComPtr<abi::IPackage6> package6;
    CheckHr(package_.As(abi::IID_IPackage6, package6));
    ComPtr<abi::IAppInstallerInfo> info;
    // Success with no object: the package has no App Installer association.
    CheckHr(Required(std::move(package6))->GetAppInstallerInfo(info.put()));
    if (!info) return nullptr;
    return std::make_unique<WindowsAppInstallerInfo>(std::move(info));
  }

 private:
  std::wstring IdText(HRESULT (STDMETHODCALLTYPE abi::IPackageId::*getter)(HSTRING*)) {
    ComPtr<abi::IPackageId> id;
    CheckHr(package_->get_Id(id.put()));
    HString value;
    CheckHr((Required(std::move(id)).get()->*getter)(value.put()));
    return value.str();
  }

  ComPtr<abi::IPackage> package_;
};

// IIterable<Package>: First, then MoveNext; HasCurrent/Current for each element.
class WindowsPackageCursor final : public PackageCursor {
 public:
  explicit WindowsPackageCursor(ComPtr<abi::IIterable_Package> packages) : packages_(std::move(packages)) {}
  std::unique_ptr<InstalledPackage> Next() override {
    boolean has = 0;
    if (!iterator_) {
      if (!packages_) return nullptr;  // Windows may answer "none" without a sequence
      ComPtr<abi::IIterator_Package> first;
      CheckHr(packages_->First(first.put()));
      iterator_ = Required(std::move(first));
      CheckHr(iterator_->get_HasCurrent(&has));
    } else {
      CheckHr(iterator_->MoveNext(&has));
    }
    if (!has) return nullptr;
    ComPtr<abi::IPackage> package;
    CheckHr(iterator_->get_Current(package.put()));
    return std::make_unique<WindowsPackage>(Required(std::move(package)));
  }

 private:
  ComPtr<abi::IIterable_Package> packages_;
  ComPtr<abi::IIterator_Package> iterator_;
};

class WindowsCatalog final : public PackageCatalog {
 public:
  explicit WindowsCatalog(ComPtr<abi::IPackageManager> manager) : manager_(Required(std::move(manager))) {}
  std::unique_ptr<PackageCursor> FindPackages(const std::wstring& name, const std::wstring& publisher) override {
    HString user, packageName(name), packagePublisher(publisher);  // empty user: the current user
    ComPtr<abi::IIterable_Package> packages;
    CheckHr(manager_->FindPackagesByUserSecurityIdNamePublisher(user.get(), packageName.get(), packagePublisher.get(),
                                                                packages.put()));
    return std::make_unique<WindowsPackageCursor>(std::move(packages));
  }
  std::unique_ptr<InstalledPackage> FindPackageForUser(const std::wstring& fullName) override {
    HString user, packageFullName(fullName);
    ComPtr<abi::IPackage> package;
    CheckHr(manager_->FindPackageByUserSecurityIdPackageFullName(user.get(), packageFullName.get(), package.put()));
    if (!package) return nullptr;
    return std::make_unique<WindowsPackage>(std::move(package));
  }

 private:
  ComPtr<abi::IPackageManager> manager_;
};

class WindowsPackages final : public PackagePlatform {
 public:
  std::unique_ptr<PackageCatalog> CreatePackageManager() override {
    return std::make_unique<WindowsCatalog>(
        ActivateInstance<abi::IPackageManager>(abi::kClassPackageManager, abi::IID_IPackageManager));
  }
};

}  // namespace

std::unique_ptr<PackagePlatform> WindowsPackagePlatform() { return std::make_unique<WindowsPackages>(); }

bool Verify(VerifyMode mode) { return Verify(mode, *WindowsPackagePlatform()); }

bool ProbeExistingInstall() { return ProbeExistingInstall(*WindowsPackagePlatform()); }

size_t ReportLaunchIdentity(const ComPtr<abi::IPackageManager>& manager) {
  WindowsCatalog catalog(manager);
  return ReportLaunchIdentity(catalog);
}

}  // namespace tavo::worker
