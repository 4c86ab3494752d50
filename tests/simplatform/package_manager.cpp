#include "tests/simplatform/package_manager.h"

#include "common/winrt/winrt.h"
#include "tests/simplatform/deployment_operation.h"
#include "tests/simplatform/package.h"
#include "tests/simplatform/package_collection.h"
#include "tests/simplatform/process_counters.h"
#include "tests/simplatform/state_file.h"
#include "tests/simplatform/wait_for_file.h"

namespace tavo::sim {
namespace {

// A package that is still being deployed, as Windows shows it.
PackagePtr StillDeploying(const PackageRecord& package) {
  auto deploying = std::make_shared<PackageRecord>(package);
  deploying->verifyIsOK = false;
  deploying->status[kDeploymentInProgress] = true;
  return deploying;
}

// Runs a body that reads the state; an unusable state file is reported and
// fails the call.
template <typename Body>
HRESULT WithState(Body body) noexcept {
  return Guard([&] {
    try {
      return body();
    } catch (const ScenarioError& e) {
      ReportProblem(e.what());
      return E_FAIL;
    }
  });
}

}  // namespace

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

PackageStore PackageManager::CurrentPackages() const {
  PackageStore store(scenario_->packages, currentUser_);
  for (const PackageRecord& package : ReadState(scenario_->statePath).packages) store.Register(package);
  return store;
}

HRESULT PackageManager::FindPackagesByUserSecurityIdNamePublisher(HSTRING userSecurityId, HSTRING packageName,
                                                                  HSTRING packagePublisher,
                                                                  abi::IIterable_Package** packages) {
  if (!packages) return E_POINTER;
  *packages = nullptr;
  if (const auto failure = scenario_->Failure("PackageManager.FindPackagesForUser")) return *failure;
  return WithState([&] {
    std::vector<PackagePtr> found = CurrentPackages().FindForUser(
        ArgumentText(userSecurityId), ArgumentText(packageName), ArgumentText(packagePublisher));
    for (PackagePtr& package : found) {
      if (!package->enumerationWaitsForFile.empty()) WaitForFile(package->enumerationWaitsForFile);
      if (package->healthyAfterRuns > 0 && CountEnumeration(package->fullName) <= package->healthyAfterRuns) {
        package = StillDeploying(*package);
      }
    }
    *packages = new PackageIterable(std::move(found));
    return S_OK;
  });
}

HRESULT PackageManager::FindPackageByUserSecurityIdPackageFullName(HSTRING userSecurityId, HSTRING packageFullName,
                                                                   abi::IPackage** package) {
  if (!package) return E_POINTER;
  *package = nullptr;
  if (const auto failure = scenario_->Failure("PackageManager.FindPackageForUser")) return *failure;
  return WithState([&] {
    // Not installed: success with no package, as Windows answers.
    if (PackagePtr found =
            CurrentPackages().FindByFullName(ArgumentText(userSecurityId), ArgumentText(packageFullName))) {
      *package = new Package(std::move(found));
    }
    return S_OK;
  });
}

HRESULT PackageManager::AddPackageByAppInstallerFileAsync(abi::IUriRuntimeClass* appInstallerFileUri,
                                                          abi::AddPackageByAppInstallerOptions options,
                                                          IInspectable* targetVolume,
                                                          abi::IDeploymentOperation** operation) {
  if (!operation) return E_POINTER;
  *operation = nullptr;
  if (!appInstallerFileUri) return E_INVALIDARG;
  if (const auto failure = scenario_->Failure("PackageManager.AddPackageByAppInstallerFileAsync")) return *failure;
  return WithState([&] {
    HString uri;
    if (const HRESULT hr = appInstallerFileUri->get_AbsoluteUri(uri.put()); FAILED(hr)) return hr;
    const DeploymentRequest request{uri.str(), static_cast<uint32_t>(options), targetVolume != nullptr, false};
    std::size_t index = 0;
    UpdateState(scenario_->statePath, [&](PlatformState& state) {
      index = state.deploymentRequests.size();
      state.deploymentRequests.push_back(request);
    });

    const DeploymentPlan& plan = scenario_->deployment;
    return DeploymentOperation::Start(
        {plan.ForAttempt(NextDeploymentAttempt()), plan.package, scenario_->statePath, index}, operation);
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
    *instance = static_cast<abi::IPackageManager*>(new PackageManager(scenario, CurrentUserSid()));
    return S_OK;
  });
}

}  // namespace tavo::sim
