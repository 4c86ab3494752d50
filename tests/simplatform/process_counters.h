// Counters that live as long as the process that loaded the fixture (the
// worker): they let a scenario speak of "deployment attempt 2" or "the third
// verification run" of one worker run. Windows has nothing like them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace tavo::sim {

// 1 for the process's first AddPackageByAppInstallerFileAsync call, then 2, ...
uint32_t NextDeploymentAttempt();
// Counts one FindPackagesForUser result that contained the package with this
// full name; returns how many there have been, this one included.
uint32_t CountEnumeration(std::wstring_view fullName);
// IAsyncInfo.Id of the next operation (unique in the process, never 0).
UINT32 NextOperationId();

void ResetProcessCountersForTests();

}  // namespace tavo::sim
