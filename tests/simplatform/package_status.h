// Windows.ApplicationModel.PackageStatus over one package record: VerifyIsOK and
// the twelve flags (IsPartiallyStaged through IPackageStatus2), each getter
// failing when the package's "failures" name it ("PackageStatus.<getter>").
#pragma once

#include <cstddef>
#include <utility>

#include "common/winrt/abi.h"
#include "tests/simplatform/package_store.h"
#include "tests/simplatform/runtime_object.h"

namespace tavo::sim {

class PackageStatus final : public RuntimeObject<abi::IPackageStatus, abi::IPackageStatus2> {
 public:
  explicit PackageStatus(PackagePtr record) : record_(std::move(record)) {}

  HRESULT STDMETHODCALLTYPE VerifyIsOK(boolean* value) override;
  HRESULT STDMETHODCALLTYPE get_NotAvailable(boolean* value) override { return Flag(0, value); }
  HRESULT STDMETHODCALLTYPE get_PackageOffline(boolean* value) override { return Flag(1, value); }
  HRESULT STDMETHODCALLTYPE get_DataOffline(boolean* value) override { return Flag(2, value); }
  HRESULT STDMETHODCALLTYPE get_Disabled(boolean* value) override { return Flag(3, value); }
  HRESULT STDMETHODCALLTYPE get_NeedsRemediation(boolean* value) override { return Flag(4, value); }
  HRESULT STDMETHODCALLTYPE get_LicenseIssue(boolean* value) override { return Flag(5, value); }
  HRESULT STDMETHODCALLTYPE get_Modified(boolean* value) override { return Flag(6, value); }
  HRESULT STDMETHODCALLTYPE get_Tampered(boolean* value) override { return Flag(7, value); }
  HRESULT STDMETHODCALLTYPE get_DependencyIssue(boolean* value) override { return Flag(8, value); }
  HRESULT STDMETHODCALLTYPE get_Servicing(boolean* value) override { return Flag(9, value); }
  HRESULT STDMETHODCALLTYPE get_DeploymentInProgress(boolean* value) override { return Flag(10, value); }
  HRESULT STDMETHODCALLTYPE get_IsPartiallyStaged(boolean* value) override { return Flag(11, value); }

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override { return abi::kClassPackageStatus; }

 private:
  // Flag `index` of kStatusFlagNames.
  HRESULT Flag(std::size_t index, boolean* value) const;

  PackagePtr record_;
};

}  // namespace tavo::sim
