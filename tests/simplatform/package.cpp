#include "tests/simplatform/package.h"

namespace tavo::sim {

void* Package::Find(REFIID iid) {
  return iid == abi::IID_IPackage ? static_cast<abi::IPackage*>(this) : nullptr;
}

HRESULT Package::get_Id(abi::IPackageId** value) {
  if (!value) return E_POINTER;
  return Guard([&] {
    *value = new PackageId(record_);
    return S_OK;
  });
}

void* PackageId::Find(REFIID iid) {
  return iid == abi::IID_IPackageId ? static_cast<abi::IPackageId*>(this) : nullptr;
}

HRESULT PackageId::get_Name(HSTRING* value) { return ReturnString(record_->name, value); }

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

HRESULT PackageId::get_Publisher(HSTRING* value) { return ReturnString(record_->publisher, value); }

// The publisher id is the family name's last part.
HRESULT PackageId::get_PublisherId(HSTRING* value) {
  const std::wstring_view family = record_->familyName;
  const std::size_t underscore = family.rfind(L'_');
  return ReturnString(underscore == std::wstring_view::npos ? std::wstring_view() : family.substr(underscore + 1),
                      value);
}

HRESULT PackageId::get_FullName(HSTRING* value) { return ReturnString(record_->fullName, value); }

HRESULT PackageId::get_FamilyName(HSTRING* value) { return ReturnString(record_->familyName, value); }

}  // namespace tavo::sim
