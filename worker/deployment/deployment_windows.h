// The Windows package manager behind PackageDeployer.
#pragma once

#include <memory>

#include "common/winrt/abi.h"
#include "common/winrt/com_ptr.h"
#include "worker/deployment/deployment.h"

namespace tavo::worker {

std::unique_ptr<PackageDeployer> MakeWindowsPackageDeployer(ComPtr<abi::IPackageManager> manager);

}  // namespace tavo::worker
