// The scenario that drives the simulated platform: which API methods Windows
// lacks, which calls fail with which HRESULT, and which packages are installed.
// It comes from the JSON file named by TAVO_SIM_SCENARIO (an absolute Windows
// path); without that variable every method is present and no package exists.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/winrt/abi.h"

namespace tavo::sim {

// One installed package as the scenario states it.
struct PackageRecord {
  std::wstring user;  // security id; empty means the current user
  std::wstring name;
  std::wstring publisher;
  abi::PackageVersion version{};
  std::wstring fullName;    // Name_Version_x64__PublisherId unless the scenario gives one
  std::wstring familyName;  // Name_PublisherId unless the scenario gives one
};

struct Scenario {
  std::set<std::wstring> missingMethods;       // "<type name>.<method name>"
  std::map<std::string, HRESULT> failures;     // failure point -> code
  std::vector<PackageRecord> packages;

  bool IsMethodPresent(std::wstring_view type, std::wstring_view method) const;
  // The code that the failure point (e.g. "PackageManager.FindPackagesForUser") fails with, if any.
  std::optional<HRESULT> Failure(std::string_view point) const;
};

// A scenario that cannot be used; what() is UTF-8 and names the problem.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses scenario JSON (UTF-8). Throws ScenarioError for malformed JSON, unknown
// members, failure points or package fields, and values of the wrong form.
Scenario ParseScenario(std::string_view json);

// Reads the scenario named by TAVO_SIM_SCENARIO, or the default one when the
// variable is not set. Throws ScenarioError, naming the file.
Scenario LoadScenario();

// LoadScenario for an activation. A scenario that cannot be used is reported on
// standard error and gives null: the activation then fails with E_FAIL instead
// of running the test against a scenario other than the one it wrote.
std::shared_ptr<const Scenario> LoadScenarioOrReport();

}  // namespace tavo::sim
