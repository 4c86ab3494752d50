#include "worker/deployment/deployment_diagnostics_collect.h"

#include <exception>
#include <memory>

#include "common/diagnostics/event_log_collection.h"
#include "common/diagnostics/system_snapshot.h"

namespace tavo::worker {

void CollectDeploymentDiagnostics(DeploymentDiagnostics& record) {
  try {
    CollectEventLogs(record, *WindowsEventLogPlatform());
    CollectServiceSnapshot(record, *WindowsServiceControl());
    std::unique_ptr<PolicyStore> policies = WindowsPolicyStore();
    CollectDeliveryOptimizationPolicies(record, *policies);
    CollectAppxPolicies(record, *policies);
  } catch (const std::exception&) {
    // Only making a platform object can throw here (out of memory): the
    // report then carries what was gathered, and the run's outcome stands.
  }
}

}  // namespace tavo::worker
