#include "common/telemetry/environment.h"

#include "common/host_facts.h"
#include "common/service_config.h"
#include "common/telemetry/installer_profile.h"

namespace tavo {

EnvironmentFacts ReadEnvironment(std::wstring_view visitorId) {
  EnvironmentFacts facts;
  facts.windowsBuild = WindowsBuild();
  facts.windowsVersion = WindowsVersionText();
  facts.nativeArchitecture = ArchitectureName(NativeArchitecture());
  facts.avxAvailable = AvxAvailable(EnabledXStateMask());
  facts.deliveryOptimizationServiceAvailable = DeliveryOptimizationAvailable();
  facts.installerProfileId = GetOrCreateProfile(visitorId);
  return facts;
}

}  // namespace tavo
