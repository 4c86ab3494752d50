#include "tests/simplatform/app_installer_info.h"

#include "tests/simplatform/uri.h"

namespace tavo::sim {

void* AppInstallerInfo::Find(REFIID iid) {
  if (iid == abi::IID_IAppInstallerInfo) return static_cast<abi::IAppInstallerInfo*>(this);
  if (iid == abi::IID_IAppInstallerInfo2 && record_->appInstallerInfo->info2) {
    return static_cast<abi::IAppInstallerInfo2*>(this);
  }
  return nullptr;
}

HRESULT AppInstallerInfo::get_Uri(abi::IUriRuntimeClass** value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  if (const auto failure = record_->Failure("AppInstallerInfo.Uri")) return *failure;
  const auto& uri = record_->appInstallerInfo->uri;
  if (!uri) return S_OK;
  return Guard([&] {
    *value = new Uri(*uri, record_->Failure("Uri.AbsoluteUri"));
    return S_OK;
  });
}

HRESULT AppInstallerInfo::Setting(const char* point, bool setting, boolean* value) const {
  if (!value) return E_POINTER;
  *value = FALSE;
  if (const auto failure = record_->Failure(point)) return *failure;
  *value = setting ? TRUE : FALSE;
  return S_OK;
}

HRESULT AppInstallerInfo::get_OnLaunch(boolean* value) {
  return Setting("AppInstallerInfo.OnLaunch", record_->appInstallerInfo->onLaunch, value);
}

HRESULT AppInstallerInfo::get_AutomaticBackgroundTask(boolean* value) {
  return Setting("AppInstallerInfo.AutomaticBackgroundTask", record_->appInstallerInfo->automaticBackgroundTask, value);
}

}  // namespace tavo::sim
