#include "worker/run/report.h"

#include <windows.h>

#include "build_info.h"
#include "common/atomic_file.h"
#include "common/host_facts.h"
#include "common/text.h"
#include "worker/run/error_store.h"
#include "worker/run/reporting.h"
#include "worker/run/state.h"

namespace tavo::worker {
namespace {

void Member(std::string& out, bool first, const char* key, const std::string& value) {
  if (!first) out += ",\n";
  out += '"';
  out += key;
  out += "\":";
  out += value;
}

std::string Bool(bool value) { return value ? "true" : "false"; }

}  // namespace

std::string ReportText(int32_t exitCode) {
  const RunState& run = Worker();
  const Reporting& report = Report();
  const VerificationRecord& v = run.verification;
  std::string out = "{\n";
  Member(out, true, "schemaVersion", "1");
  Member(out, false, "buildHash", '"' + std::string(build::kBuildHash) + '"');
  Member(out, false, "verbose", Bool(run.verbose));
  Member(out, false, "windowsBuild", std::to_string(WindowsBuild()));
  Member(out, false, "windowsVersion", JsonString(WindowsVersionText()));
  Member(out, false, "nativeArchitecture", JsonString(ArchitectureName(NativeArchitecture())));
  Member(out, false, "exitCode", JsonString(Hex8(static_cast<uint32_t>(exitCode))));
  Member(out, false, "registered", Bool(run.registered));
  Member(out, false, "packageFullName", JsonString(v.packageFullName));
  Member(out, false, "appInstallerUri", JsonString(v.appInstallerUri));
  Member(out, false, "desktopAppInstallerVersion", JsonString(run.desktopAppInstallerVersion));
  Member(out, false, "activityId", JsonString(run.activityId));
  Member(out, false, "deployment", DeploymentDiagnosticsJson(run.deployment));
  // Update settings count only when they were read for a package whose URI matched.
  bool inspectable = v.policyInterfaceSupported.value_or(false);
  Member(out, false, "updateSettingsInspectable", Bool(inspectable));
  Member(out, false, "automaticBackgroundTask", Bool(inspectable && v.automaticBackgroundTask.value_or(false)));
  Member(out, false, "errors", ErrorsJson(Records()));
  Member(out, false, "verification", VerificationJson(v));
  Member(out, false, "uma", TelemetryDeliveryJson(run.telemetry));
  Member(out, false, "verificationTrace", OperationLogJson(report.log));
  std::string events = "[";
  for (size_t i = 0; i < report.events.size(); ++i) {
    if (i) events.push_back(',');
    events += report.events[i];
  }
  events.push_back(']');
  Member(out, false, "events", events);
  out += "\n}\n";
  return out;
}

int32_t WriteReport(int32_t exitCode) {
  const std::wstring& path = Worker().reportPath;
  if (path.empty()) return 0;
  Reporting& report = Report();
  std::lock_guard guard(report.lock);
  return AtomicWrite(path, ReportText(exitCode));
}

}  // namespace tavo::worker
