// The scenario that drives the simulated platform: which API methods Windows
// lacks, which calls fail with which HRESULT, which packages are installed, and
// how each deployment attempt goes. It comes from the JSON file named by
// TAVO_SIM_SCENARIO (an absolute Windows path); without that variable every
// method is present, no package exists and a deployment succeeds at once.
// README.md in this folder describes the format.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "build_info.h"
#include "common/winrt/abi.h"

namespace tavo::sim {

// The PackageStatus flags in the order of the IPackageStatus vtable; the last
// one comes from IPackageStatus2.
inline constexpr std::array<std::string_view, 12> kStatusFlagNames = {
    "NotAvailable",     "PackageOffline", "DataOffline",     "Disabled",  "NeedsRemediation",     "LicenseIssue",
    "Modified",         "Tampered",       "DependencyIssue", "Servicing", "DeploymentInProgress", "IsPartiallyStaged",
};
inline constexpr std::size_t kDeploymentInProgress = 10;

// Named failure points -> the HRESULT the call fails with.
using FailureMap = std::map<std::string, HRESULT, std::less<>>;

// A package's App Installer association (Package.GetAppInstallerInfo).
struct AppInstallerInfoRecord {
  std::optional<std::wstring> uri = std::wstring(build::kDescriptorUri);  // none: Uri returns null
  bool info2 = true;                                                      // answers IAppInstallerInfo2
  bool onLaunch = true;
  bool automaticBackgroundTask = true;

  bool operator==(const AppInstallerInfoRecord&) const = default;
};

// One installed package as the scenario states it. The defaults describe a
// healthy package associated with the expected descriptor URI.
struct PackageRecord {
  std::wstring user;  // security id; empty means the current user
  std::wstring name;
  std::wstring publisher;
  abi::PackageVersion version{};
  std::wstring fullName;    // Name_Version_x64__PublisherId unless the scenario gives one
  std::wstring familyName;  // Name_PublisherId unless the scenario gives one

  bool registered = true;  // false: FindPackageForUser does not find it
  bool verifyIsOK = true;
  std::array<bool, kStatusFlagNames.size()> status{};  // all false
  // The first this-many FindPackagesForUser calls that return the package (in
  // this process) see it still deploying: VerifyIsOK false, DeploymentInProgress.
  uint32_t healthyAfterRuns = 0;
  // A FindPackagesForUser call that returns the package waits until this file
  // exists (empty: no wait), so that a test reads the verifying screen at its pace.
  std::wstring enumerationWaitsForFile;
  std::optional<AppInstallerInfoRecord> appInstallerInfo = AppInstallerInfoRecord{};  // none: no association
  FailureMap failures;  // getters of this package's objects that fail

  std::optional<HRESULT> Failure(std::string_view point) const;
  bool operator==(const PackageRecord& other) const;
};

// How one deployment attempt (one AddPackageByAppInstallerFileAsync call) goes.
struct DeploymentAttempt {
  std::vector<abi::DeploymentProgress> progress;  // delivered in order
  DWORD stepDelayMs = 0;                          // pause before each progress step
  // Per progress step: a file that must exist before the attempt goes on
  // (empty: none), so that a test reads a screen at its own pace.
  std::vector<std::wstring> waitAfter;
  HRESULT errorCode = S_OK;                       // failure: status Error with this code
  // Alone: status Completed, the result carries this code. With errorCode and
  // resultsOnError: the failed operation's result carries it.
  HRESULT extendedErrorCode = S_OK;
  std::wstring errorText;
  std::optional<GUID> activityId;  // none: a new GUID per attempt
  bool completeBeforeReturn = false;
  bool untilCancelled = false;
  bool resultsOnError = false;  // GetResults in status Error gives the result instead of the code
  // One more report, delivered from another thread after the completion
  // handler returned, as Windows may do.
  std::optional<abi::DeploymentProgress> lateProgress;
  // "put_Progress", "put_Completed": the assignment fails and assigns nothing.
  FailureMap failures;

  bool Succeeds() const { return errorCode == S_OK && extendedErrorCode == S_OK; }
};

// The package that a successful deployment registers unless the scenario says
// otherwise: the expected Tavo package, version 1.0.0.0, healthy.
PackageRecord DefaultDeployedPackage();

struct DeploymentPlan {
  // Attempt n (1-based, counted across the process) follows entry n, or the
  // last entry when there are fewer; no entry is one plain success.
  std::vector<DeploymentAttempt> attempts;
  std::optional<PackageRecord> package = DefaultDeployedPackage();  // none: registers nothing

  DeploymentAttempt ForAttempt(uint32_t attempt) const;
};

// One event in a simulated event-log channel.
struct SimulatedEvent {
  uint16_t eventId = 0;
  uint8_t level = 0;
  std::wstring provider;
  GUID activityId{};  // the correlation activity id
  std::wstring message;
};

struct SimulatedChannel {
  std::vector<SimulatedEvent> events;  // in the order logged, oldest first
  // Query n (1-based, per channel and process) times out on every read after
  // this many events; none, or past the end: no time-outs.
  std::vector<std::optional<uint32_t>> timeoutAfter;
};

// What the wevtapi stand-in answers (README.md, "Event log").
struct EventLogScript {
  std::map<std::wstring, SimulatedChannel> channels;  // by channel path
  std::set<std::wstring> providersWithoutMetadata;
};

struct Scenario {
  std::set<std::wstring> missingMethods;  // "<type name>.<method name>"
  FailureMap failures;                    // failure point -> code
  std::vector<PackageRecord> packages;
  DeploymentPlan deployment;
  // None: the event-log API behaves as Wine's own stub.
  std::optional<EventLogScript> eventLog;
  // Where deployments register packages: "<scenario file>.state.json"; empty
  // (no scenario file) keeps them in this process only.
  std::wstring statePath;

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

// Writes "tavo_simplatform: <message>" to standard error: how the fixture says
// why a call failed when the HRESULT alone would not tell a test's reader.
void ReportProblem(std::string_view message);

}  // namespace tavo::sim
