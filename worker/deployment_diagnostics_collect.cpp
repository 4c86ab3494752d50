#include "worker/deployment_diagnostics_collect.h"

#include <windows.h>

namespace tavo::worker {

void CollectDeploymentDiagnostics(DeploymentDiagnostics& record) {
  // This build collects nothing yet; the record says the queries are not
  // supported rather than claiming that no events matched.
  record.appxLogQueryError = ERROR_NOT_SUPPORTED;
  record.packagingLogQueryError = ERROR_NOT_SUPPORTED;
}

}  // namespace tavo::worker
