// Collection of the deployment diagnostics at the end of a run that needs them.
#pragma once

#include "common/diagnostics/deployment_diagnostics.h"

namespace tavo::worker {

// Event logs, service snapshot, Delivery Optimization and App package policies,
// in this order, from Windows. Adds no error record and never throws.
void CollectDeploymentDiagnostics(DeploymentDiagnostics& record);

}  // namespace tavo::worker
