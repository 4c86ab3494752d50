#include "tests/simplatform/package_manager.h"

#include "tests/simplatform/package.h"
#include "tests/simplatform/package_collection.h"

namespace tavo::sim {

void* PackageManager::Find(REFIID iid) {
  if (iid == abi::IID_IPackageManager) return static_cast<abi::IPackageManager*>(this);
  // Windows before 1709 has no IPackageManager6; a scenario that lacks its method
  // stands for such a Windows.
  if (iid == abi::IID_IPackageManager6 &&
      scenario_->IsMethodPresent(abi::kClassPackageManager, L"AddPackageByAppInstallerFileAsync")) {
    return static_cast<abi::IPackageManager6*>(this);
  }
  return nullptr;
}

HRESULT PackageManager::FindPackagesByUserSecurityIdNamePublisher(HSTRING userSecurityId, HSTRING packageName,
                                                                  HSTRING packagePublisher,
                                                                  abi::IIterable_Package** packages) {
  if (!packages) return E_POINTER;
  *packages = nullptr;
  if (const auto failure = scenario_->Failure("PackageManager.FindPackagesForUser")) return *failure;
  return Guard([&] {
    *packages = new PackageIterable(store_->FindForUser(ArgumentText(userSecurityId), ArgumentText(packageName),
                                                        ArgumentText(packagePublisher)));
    return S_OK;
  });
}

HRESULT PackageManager::FindPackageByUserSecurityIdPackageFullName(HSTRING userSecurityId, HSTRING packageFullName,
                                                                   abi::IPackage** package) {
  if (!package) return E_POINTER;
  *package = nullptr;
  if (const auto failure = scenario_->Failure("PackageManager.FindPackageForUser")) return *failure;
  return Guard([&] {
    // Not installed: success with no package, as Windows answers.
    if (PackagePtr found = store_->FindByFullName(ArgumentText(userSecurityId), ArgumentText(packageFullName))) {
      *package = new Package(std::move(found));
    }
    return S_OK;
  });
}

void* PackageManagerFactory::Find(REFIID iid) {
  return iid == __uuidof(IActivationFactory) ? static_cast<IActivationFactory*>(this) : nullptr;
}

HRESULT PackageManagerFactory::ActivateInstance(IInspectable** instance) {
  if (!instance) return E_POINTER;
  *instance = nullptr;
  return Guard([&] {
    const auto scenario = LoadScenarioOrReport();
    if (!scenario) return E_FAIL;
    if (const auto failure = scenario->Failure("PackageManager.Activate")) return *failure;
    auto store = std::make_shared<const PackageStore>(scenario->packages, CurrentUserSid());
    *instance = static_cast<abi::IPackageManager*>(new PackageManager(scenario, std::move(store)));
    return S_OK;
  });
}

}  // namespace tavo::sim
