#include "tests/simplatform/package.h"

#include "tests/simplatform/app_installer_info.h"
#include "tests/simplatform/package_status.h"

namespace tavo::sim {

void* Package::Find(REFIID iid) {
  if (iid == abi::IID_IPackage) return static_cast<abi::IPackage*>(this);
  if (iid == abi::IID_IPackage3) return static_cast<abi::IPackage3*>(this);
  if (iid == abi::IID_IPackage6) return static_cast<abi::IPackage6*>(this);
  return nullptr;
}

HRESULT Package::get_Id(abi::IPackageId** value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  if (const auto failure = record_->Failure("Package.Id")) return *failure;
  return Guard([&] {
    *value = new PackageId(record_);
    return S_OK;
  });
}

HRESULT Package::get_Status(abi::IPackageStatus** value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  if (const auto failure = record_->Failure("Package.Status")) return *failure;
  return Guard([&] {
    *value = new PackageStatus(record_);
    return S_OK;
  });
}

HRESULT Package::GetAppInstallerInfo(abi::IAppInstallerInfo** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  if (const auto failure = record_->Failure("Package.GetAppInstallerInfo")) return *failure;
  if (!record_->appInstallerInfo) return S_OK;
  return Guard([&] {
    *result = new AppInstallerInfo(record_);
    return S_OK;
  });
}

void* PackageId::Find(REFIID iid) {
  return iid == abi::IID_IPackageId ? static_cast<abi::IPackageId*>(this) : nullptr;
}

HRESULT PackageId::Text(const char* point, std::wstring_view text, HSTRING* value) const {
  if (!value) return E_POINTER;
  *value = nullptr;
  if (const auto failure = record_->Failure(point)) return *failure;
  return ReturnString(text, value);
}

HRESULT PackageId::get_Name(HSTRING* value) { return Text("PackageId.Name", record_->name, value); }

HRESULT PackageId::get_Version(abi::PackageVersion* value) {
  if (!value) return E_POINTER;
  *value = record_->version;
  return S_OK;
}

HRESULT PackageId::get_Architecture(abi::ProcessorArchitecture* value) {
  if (!value) return E_POINTER;
  *value = abi::ProcessorArchitecture::X64;
  return S_OK;
}

HRESULT PackageId::get_ResourceId(HSTRING* value) { return ReturnString({}, value); }

HRESULT PackageId::get_Publisher(HSTRING* value) { return Text("PackageId.Publisher", record_->publisher, value); }

// The publisher id is the family name's last part.
HRESULT PackageId::get_PublisherId(HSTRING* value) {
  const std::wstring_view family = record_->familyName;
  const std::size_t underscore = family.rfind(L'_');
  return ReturnString(underscore == std::wstring_view::npos ? std::wstring_view() : family.substr(underscore + 1),
                      value);
}

HRESULT PackageId::get_FullName(HSTRING* value) { return Text("PackageId.FullName", record_->fullName, value); }

HRESULT PackageId::get_FamilyName(HSTRING* value) {
  return Text("PackageId.FamilyName", record_->familyName, value);
}

}  // namespace tavo::sim
