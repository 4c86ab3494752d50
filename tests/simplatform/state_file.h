// What simulated deployments leave behind: the packages they registered for the
// current user and the requests they were given. Windows keeps registrations in
// its package repository; the fixture keeps them in "<scenario>.state.json"
// beside the scenario, so that the next worker process sees them and a test
// can read them. Without a scenario file they live in this process only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/simplatform/scenario.h"

namespace tavo::sim {

// One AddPackageByAppInstallerFileAsync call as the fixture received it.
struct DeploymentRequest {
  std::wstring uri;  // the Uri argument's AbsoluteUri
  uint32_t options = 0;
  bool targetVolume = false;  // a target volume was passed
  // Cancel() reached the operation while it was running. An operation that
  // ends neither cancelled nor finished before its process does would run on
  // in Windows' deployment service.
  bool cancelled = false;

  bool operator==(const DeploymentRequest&) const = default;
};

struct PlatformState {
  std::vector<PackageRecord> packages;  // registered for the current user
  std::vector<DeploymentRequest> deploymentRequests;
};

// The state file's JSON. ParseState throws ScenarioError like ParseScenario.
PlatformState ParseState(std::string_view json);
std::string StateJson(const PlatformState& state);

// The state at `path` (empty when the file does not exist), or this process's
// state when `path` is empty. Throws ScenarioError.
PlatformState ReadState(const std::wstring& path);
// Reads, changes and writes the state under a process-wide lock; the file is
// replaced atomically. Throws ScenarioError.
void UpdateState(const std::wstring& path, const std::function<void(PlatformState&)>& change);

// Adds `package` to `packages`, replacing one with the same full name.
void RegisterPackage(std::vector<PackageRecord>& packages, const PackageRecord& package);

// Forgets this process's state (the one kept without a scenario file).
void ClearProcessStateForTests();

}  // namespace tavo::sim
