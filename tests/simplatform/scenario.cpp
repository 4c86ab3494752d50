#include "tests/simplatform/scenario.h"

#include <array>
#include <charconv>
#include <cstdint>

#include "tests/simplatform/scenario_json.h"

namespace tavo::sim {
namespace {

using namespace json_form;

// Calls that a scenario's top-level "failures" can make fail.
constexpr std::array<std::string_view, 8> kFailurePoints = {
    "ApiInformation.Activate",              // RoGetActivationFactory of ApiInformation
    "ApiInformation.IsMethodPresent",       //
    "PackageManager.Activate",              // RoActivateInstance of PackageManager
    "PackageManager.FindPackagesForUser",   // FindPackagesByUserSecurityIdNamePublisher
    "PackageManager.FindPackageForUser",    // FindPackageByUserSecurityIdPackageFullName
    "PackageManager.AddPackageByAppInstallerFileAsync",  // the call itself, before any operation exists
    "Uri.Activate",                         // RoGetActivationFactory of Uri
    "Uri.CreateUri",                        //
};

constexpr uint32_t kMaxStepDelayMs = 600000;

// Calls of the operation that an attempt's "failures" can make fail.
bool IsOperationFailurePoint(std::string_view point) { return point == "put_Progress" || point == "put_Completed"; }

bool IsFailurePoint(std::string_view point) {
  for (std::string_view name : kFailurePoints) {
    if (point == name) return true;
  }
  return false;
}

// A number (a percentage in state Processing) or {"percent": n, "state": s};
// progress steps may also name "thenWaitForFile" (read by ParseAttempt).
abi::DeploymentProgress ParseProgressStep(const json& step, const std::string& where, bool mayWait = false) {
  if (step.is_number()) {
    const json wrapped = {{"percent", step}};
    return {abi::DeploymentProgressState::Processing, NumberMember(wrapped, "percent", where, 0, 100)};
  }
  RequireObject(step, where);
  if (mayWait) {
    RequireKnownMembers(step, {"percent", "state", "thenWaitForFile"}, where);
  } else {
    RequireKnownMembers(step, {"percent", "state"}, where);
  }
  if (!step.contains("percent")) throw ScenarioError(where + " lacks \"percent\"");
  abi::DeploymentProgress progress{abi::DeploymentProgressState::Processing,
                                   NumberMember(step, "percent", where, 0, 100)};
  if (const auto it = step.find("state"); it != step.end()) {
    if (*it == "queued") {
      progress.state = abi::DeploymentProgressState::Queued;
    } else if (*it == "processing") {
      progress.state = abi::DeploymentProgressState::Processing;
    } else if (it->is_number_integer() && it->get<int64_t>() >= INT32_MIN && it->get<int64_t>() <= INT32_MAX) {
      progress.state = static_cast<abi::DeploymentProgressState>(it->get<int32_t>());
    } else {
      throw ScenarioError(where + ": \"state\" must be \"queued\", \"processing\" or a whole number");
    }
  }
  return progress;
}

DeploymentAttempt ParseAttempt(const json& item, const std::string& where) {
  RequireObject(item, where);
  RequireKnownMembers(item,
                      {"progress", "stepDelayMs", "errorCode", "extendedErrorCode", "errorText", "activityId",
                       "completeBeforeReturn", "untilCancelled", "resultsOnError", "lateProgress", "failures"},
                      where);
  DeploymentAttempt attempt;
  if (const auto it = item.find("progress"); it != item.end()) {
    if (!it->is_array()) throw ScenarioError(where + ": \"progress\" must be an array");
    for (std::size_t i = 0; i < it->size(); ++i) {
      const std::string at = where + ".progress[" + std::to_string(i) + "]";
      const json& step = (*it)[i];
      attempt.progress.push_back(ParseProgressStep(step, at, true));
      attempt.waitAfter.push_back(step.is_object() ? Utf16(StringMember(step, "thenWaitForFile", at, false)) : L"");
    }
  }
  attempt.stepDelayMs = NumberMember(item, "stepDelayMs", where, 0, kMaxStepDelayMs);
  if (const auto it = item.find("errorCode"); it != item.end()) {
    attempt.errorCode = ParseFailureCode(*it, where + ".errorCode");
  }
  if (const auto it = item.find("extendedErrorCode"); it != item.end()) {
    attempt.extendedErrorCode = ParseFailureCode(*it, where + ".extendedErrorCode");
  }
  attempt.errorText = Utf16(StringMember(item, "errorText", where, false));
  if (const auto it = item.find("activityId"); it != item.end()) attempt.activityId = ParseGuid(*it, where);
  attempt.completeBeforeReturn = BoolMember(item, "completeBeforeReturn", where, false);
  attempt.untilCancelled = BoolMember(item, "untilCancelled", where, false);
  attempt.resultsOnError = BoolMember(item, "resultsOnError", where, false);
  if (const auto it = item.find("lateProgress"); it != item.end()) {
    attempt.lateProgress = ParseProgressStep(*it, where + ".lateProgress");
  }
  if (const auto it = item.find("failures"); it != item.end()) {
    attempt.failures = ParseFailures(*it, where + ".failures", IsOperationFailurePoint);
  }
  if (attempt.errorCode != S_OK && attempt.extendedErrorCode != S_OK && !attempt.resultsOnError) {
    throw ScenarioError(where + ": give \"errorCode\" or \"extendedErrorCode\", not both (unless \"resultsOnError\")");
  }
  if (attempt.completeBeforeReturn &&
      (attempt.untilCancelled || attempt.stepDelayMs > 0 || attempt.lateProgress)) {
    throw ScenarioError(where +
                        ": \"completeBeforeReturn\" cannot wait (\"untilCancelled\", \"stepDelayMs\", \"lateProgress\")");
  }
  return attempt;
}

DeploymentPlan ParseDeployment(const json& item) {
  const std::string where = "deployment";
  RequireObject(item, where);
  RequireKnownMembers(item, {"attempts", "package"}, where);
  DeploymentPlan plan;
  if (const auto it = item.find("attempts"); it != item.end()) {
    if (!it->is_array()) throw ScenarioError("\"deployment.attempts\" must be an array");
    for (std::size_t i = 0; i < it->size(); ++i) {
      plan.attempts.push_back(ParseAttempt((*it)[i], "deployment.attempts[" + std::to_string(i) + "]"));
    }
  }
  if (const auto it = item.find("package"); it != item.end()) {
    if (it->is_null()) {
      plan.package.reset();
    } else {
      const PackageRecord base = DefaultDeployedPackage();
      plan.package = ParsePackage(*it, "deployment.package", &base);
      if (!plan.package->user.empty()) {
        throw ScenarioError("deployment.package: a deployment registers for the current user; \"user\" is not allowed");
      }
    }
  }
  return plan;
}

std::wstring EnvironmentVariable(const wchar_t* name, bool& present) {
  std::wstring value(256, L'\0');
  for (;;) {
    // An empty value also gives 0, without setting the last error.
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      present = ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
      return {};
    }
    if (length < value.size()) {
      present = true;
      value.resize(length);
      return value;
    }
    value.resize(length);
  }
}

std::optional<HRESULT> FindFailure(const FailureMap& failures, std::string_view point) {
  const auto it = failures.find(point);
  if (it == failures.end()) return std::nullopt;
  return it->second;
}

}  // namespace

std::optional<HRESULT> PackageRecord::Failure(std::string_view point) const { return FindFailure(failures, point); }

bool PackageRecord::operator==(const PackageRecord& other) const {
  const auto parts = [](const abi::PackageVersion& v) { return std::array{v.Major, v.Minor, v.Build, v.Revision}; };
  return user == other.user && name == other.name && publisher == other.publisher &&
         parts(version) == parts(other.version) && fullName == other.fullName &&
         familyName == other.familyName && registered == other.registered && verifyIsOK == other.verifyIsOK &&
         status == other.status && healthyAfterRuns == other.healthyAfterRuns &&
         enumerationWaitsForFile == other.enumerationWaitsForFile &&
         appInstallerInfo == other.appInstallerInfo && failures == other.failures;
}

PackageRecord DefaultDeployedPackage() {
  const json identity = {{"name", Utf8(build::kPackageName)},
                         {"publisher", Utf8(build::kPackagePublisher)},
                         {"version", "1.0.0.0"}};
  return ParsePackage(identity, "the default deployed package");
}

DeploymentAttempt DeploymentPlan::ForAttempt(uint32_t attempt) const {
  if (attempts.empty()) return {};
  const std::size_t index = attempt == 0 ? 0 : attempt - 1;
  return attempts[index < attempts.size() ? index : attempts.size() - 1];
}

bool Scenario::IsMethodPresent(std::wstring_view type, std::wstring_view method) const {
  std::wstring key(type);
  key += L'.';
  key += method;
  return missingMethods.count(key) == 0;
}

std::optional<HRESULT> Scenario::Failure(std::string_view point) const { return FindFailure(failures, point); }

Scenario ParseScenario(std::string_view text) {
  json root;
  try {
    root = json::parse(text.begin(), text.end());
  } catch (const json::exception& e) {
    throw ScenarioError(std::string("not valid JSON: ") + e.what());
  }
  if (!root.is_object()) throw ScenarioError("the scenario must be a JSON object");
  RequireKnownMembers(root, {"missingMethods", "failures", "packages", "deployment", "eventLog"}, "the scenario");

  Scenario scenario;
  if (const auto it = root.find("missingMethods"); it != root.end()) {
    if (!it->is_array()) throw ScenarioError("\"missingMethods\" must be an array");
    for (const json& entry : *it) {
      if (!entry.is_string() || entry.get<std::string>().find('.') == std::string::npos) {
        throw ScenarioError("\"missingMethods\" entries must be \"<type name>.<method name>\"");
      }
      scenario.missingMethods.insert(Utf16(entry.get<std::string>()));
    }
  }
  if (const auto it = root.find("failures"); it != root.end()) {
    scenario.failures = ParseFailures(*it, "\"failures\"", IsFailurePoint);
  }
  if (const auto it = root.find("packages"); it != root.end()) {
    if (!it->is_array()) throw ScenarioError("\"packages\" must be an array");
    for (std::size_t i = 0; i < it->size(); ++i) {
      scenario.packages.push_back(ParsePackage((*it)[i], "packages[" + std::to_string(i) + "]"));
    }
  }
  if (const auto it = root.find("deployment"); it != root.end()) scenario.deployment = ParseDeployment(*it);
  if (const auto it = root.find("eventLog"); it != root.end()) scenario.eventLog = ParseEventLog(*it);
  return scenario;
}

Scenario LoadScenario() {
  bool present = false;
  const std::wstring path = EnvironmentVariable(L"TAVO_SIM_SCENARIO", present);
  if (!present) return {};
  if (path.empty()) throw ScenarioError("TAVO_SIM_SCENARIO is set but empty");
  try {
    std::optional<std::string> text = ReadSmallFile(path);
    if (!text) throw ScenarioError("no such file");
    Scenario scenario = ParseScenario(*text);
    scenario.statePath = path + L".state.json";
    return scenario;
  } catch (const ScenarioError& e) {
    throw ScenarioError("scenario " + Utf8(path) + ": " + e.what());
  }
}

std::shared_ptr<const Scenario> LoadScenarioOrReport() {
  try {
    return std::make_shared<const Scenario>(LoadScenario());
  } catch (const ScenarioError& e) {
    ReportProblem(e.what());
    return nullptr;
  }
}

void ReportProblem(std::string_view message) {
  const std::string line = "tavo_simplatform: " + std::string(message) + "\n";
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace tavo::sim
