// Windows.Management.Deployment.PackageManager over the scenario's packages and
// those that deployments registered (state_file.h), and its activation factory.
// Each activation reads the scenario afresh; each query reads the state afresh,
// so that a manager sees the package its own deployment registered.
#pragma once

#include <activation.h>

#include <memory>
#include <string>
#include <utility>

#include "common/winrt/abi.h"
#include "tests/simplatform/package_store.h"
#include "tests/simplatform/runtime_object.h"
#include "tests/simplatform/scenario.h"

namespace tavo::sim {

class PackageManager final : public RuntimeObject<abi::IPackageManager, abi::IPackageManager6> {
 public:
  // `currentUser`: the security id that an empty user stands for.
  PackageManager(std::shared_ptr<const Scenario> scenario, std::wstring currentUser)
      : scenario_(std::move(scenario)), currentUser_(std::move(currentUser)) {}

  // IPackageManager
  HRESULT STDMETHODCALLTYPE AddPackageAsync(abi::IUriRuntimeClass*, IInspectable*, abi::DeploymentOptions,
                                            abi::IDeploymentOperation**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UpdatePackageAsync(abi::IUriRuntimeClass*, IInspectable*, abi::DeploymentOptions,
                                               abi::IDeploymentOperation**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RemovePackageAsync(HSTRING, abi::IDeploymentOperation**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE StagePackageAsync(abi::IUriRuntimeClass*, IInspectable*,
                                              abi::IDeploymentOperation**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterPackageAsync(abi::IUriRuntimeClass*, IInspectable*, abi::DeploymentOptions,
                                                 abi::IDeploymentOperation**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindPackages(abi::IIterable_Package**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityId(HSTRING, abi::IIterable_Package**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindPackagesByNamePublisher(HSTRING, HSTRING, abi::IIterable_Package**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityIdNamePublisher(HSTRING userSecurityId, HSTRING packageName,
                                                                      HSTRING packagePublisher,
                                                                      abi::IIterable_Package** packages) override;
  HRESULT STDMETHODCALLTYPE FindUsers(HSTRING, IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPackageState(HSTRING, INT32) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindPackageByPackageFullName(HSTRING, abi::IPackage**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CleanupPackageForUserAsync(HSTRING, HSTRING, abi::IDeploymentOperation**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindPackagesByPackageFamilyName(HSTRING, abi::IIterable_Package**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityIdPackageFamilyName(HSTRING, HSTRING,
                                                                          abi::IIterable_Package**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindPackageByUserSecurityIdPackageFullName(HSTRING userSecurityId, HSTRING packageFullName,
                                                                       abi::IPackage** package) override;

  // IPackageManager6
  HRESULT STDMETHODCALLTYPE ProvisionPackageForAllUsersAsync(HSTRING, abi::IDeploymentOperation**) override {
    return E_NOTIMPL;
  }
  // Starts the deployment attempt that the scenario plans for this call (see
  // deployment_operation.h) and notes the request in the state.
  HRESULT STDMETHODCALLTYPE AddPackageByAppInstallerFileAsync(abi::IUriRuntimeClass* appInstallerFileUri,
                                                              abi::AddPackageByAppInstallerOptions options,
                                                              IInspectable* targetVolume,
                                                              abi::IDeploymentOperation** operation) override;
  HRESULT STDMETHODCALLTYPE RequestAddPackageByAppInstallerFileAsync(abi::IUriRuntimeClass*,
                                                                     abi::AddPackageByAppInstallerOptions,
                                                                     IInspectable*,
                                                                     abi::IDeploymentOperation**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE AddPackageToVolumeAndRelatedSetAsync(abi::IUriRuntimeClass*, IInspectable*,
                                                                 abi::DeploymentOptions, IInspectable*, IInspectable*,
                                                                 IInspectable*, IInspectable*,
                                                                 abi::IDeploymentOperation**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE StagePackageToVolumeAndRelatedSetAsync(abi::IUriRuntimeClass*, IInspectable*,
                                                                   abi::DeploymentOptions, IInspectable*,
                                                                   IInspectable*, IInspectable*, IInspectable*,
                                                                   abi::IDeploymentOperation**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RequestAddPackageAsync(abi::IUriRuntimeClass*, IInspectable*, abi::DeploymentOptions,
                                                   IInspectable*, IInspectable*, IInspectable*,
                                                   abi::IDeploymentOperation**) override {
    return E_NOTIMPL;
  }

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override { return abi::kClassPackageManager; }

 private:
  // The installed packages now. Throws ScenarioError for an unusable state file.
  PackageStore CurrentPackages() const;

  std::shared_ptr<const Scenario> scenario_;
  std::wstring currentUser_;
};

// Activation factory of PackageManager (default-activatable).
class PackageManagerFactory final : public RuntimeObject<IActivationFactory> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override;

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override { return abi::kClassPackageManager; }
};

}  // namespace tavo::sim
