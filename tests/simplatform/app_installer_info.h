// Windows.ApplicationModel.AppInstallerInfo of a package with an association:
// Uri (null, or a Uri object with the recorded text), and IAppInstallerInfo2
// with OnLaunch and AutomaticBackgroundTask when the package's record says the
// object offers it (Windows 11); the other IAppInstallerInfo2 getters are not
// implemented.
#pragma once

#include <utility>

#include "common/winrt/abi.h"
#include "tests/simplatform/package_store.h"
#include "tests/simplatform/runtime_object.h"

namespace tavo::sim {

// Only for a record whose appInstallerInfo is set.
class AppInstallerInfo final : public RuntimeObject<abi::IAppInstallerInfo, abi::IAppInstallerInfo2> {
 public:
  explicit AppInstallerInfo(PackagePtr record) : record_(std::move(record)) {}

  // IAppInstallerInfo
  HRESULT STDMETHODCALLTYPE get_Uri(abi::IUriRuntimeClass** value) override;
  // IAppInstallerInfo2
  HRESULT STDMETHODCALLTYPE get_OnLaunch(boolean* value) override;
  HRESULT STDMETHODCALLTYPE get_HoursBetweenUpdateChecks(UINT32*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ShowPrompt(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_UpdateBlocksActivation(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_AutomaticBackgroundTask(boolean* value) override;
  HRESULT STDMETHODCALLTYPE get_ForceUpdateFromAnyVersion(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IsAutoRepairEnabled(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Version(abi::PackageVersion*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LastChecked(abi::DateTime*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_PausedUntil(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_UpdateUris(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RepairUris(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DependencyPackageUris(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_OptionalPackageUris(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_PolicySource(abi::AppInstallerPolicySource*) override { return E_NOTIMPL; }

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override { return abi::kClassAppInstallerInfo; }

 private:
  HRESULT Setting(const char* point, bool setting, boolean* value) const;

  PackagePtr record_;
};

}  // namespace tavo::sim
