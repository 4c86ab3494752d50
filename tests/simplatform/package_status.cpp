#include "tests/simplatform/package_status.h"

#include <string>

namespace tavo::sim {

void* PackageStatus::Find(REFIID iid) {
  if (iid == abi::IID_IPackageStatus) return static_cast<abi::IPackageStatus*>(this);
  if (iid == abi::IID_IPackageStatus2) return static_cast<abi::IPackageStatus2*>(this);
  return nullptr;
}

HRESULT PackageStatus::VerifyIsOK(boolean* value) {
  if (!value) return E_POINTER;
  *value = FALSE;
  if (const auto failure = record_->Failure("PackageStatus.VerifyIsOK")) return *failure;
  *value = record_->verifyIsOK ? TRUE : FALSE;
  return S_OK;
}

HRESULT PackageStatus::Flag(std::size_t index, boolean* value) const {
  if (!value) return E_POINTER;
  *value = FALSE;
  return Guard([&] {
    if (const auto failure = record_->Failure("PackageStatus." + std::string(kStatusFlagNames[index]))) return *failure;
    *value = record_->status[index] ? TRUE : FALSE;
    return S_OK;
  });
}

}  // namespace tavo::sim
