// The DLL's exports: the activation entry point through which Windows (and
// Wine) reach the simulated runtime classes, and the unload check.
#include <windows.h>
#include <activation.h>

#include <string>

#include "tests/simplatform/api_information.h"
#include "tests/simplatform/package_manager.h"
#include "tests/simplatform/runtime_object.h"
#include "tests/simplatform/uri.h"

extern "C" HRESULT WINAPI DllGetActivationFactory(HSTRING activatableClassId, IActivationFactory** factory) {
  using namespace tavo::sim;
  if (!factory) return E_POINTER;
  *factory = nullptr;
  return Guard([&] {
    const std::wstring cls = ArgumentText(activatableClassId);
    if (cls == tavo::abi::kClassPackageManager) {
      *factory = new PackageManagerFactory();
      return S_OK;
    }
    if (cls == tavo::abi::kClassApiInformation) {
      const auto scenario = LoadScenarioOrReport();
      if (!scenario) return E_FAIL;
      if (const auto failure = scenario->Failure("ApiInformation.Activate")) return *failure;
      *factory = new ApiInformation(scenario);
      return S_OK;
    }
    if (cls == tavo::abi::kClassUri) {
      const auto scenario = LoadScenarioOrReport();
      if (!scenario) return E_FAIL;
      if (const auto failure = scenario->Failure("Uri.Activate")) return *failure;
      *factory = new UriFactory(scenario);
      return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
  });
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return tavo::sim::g_live_objects == 0 ? S_OK : S_FALSE; }
