#include "launcher/outcome/fallback_report.h"

#include <windows.h>

#include <algorithm>

#include "build_info.h"
#include "common/atomic_file.h"
#include "common/text.h"

namespace tavo::launcher {
std::wstring FallbackReportPath(const FallbackReportInput& input) {
  return input.sessionReportPath.empty() ? input.optionReportPath : input.sessionReportPath;
}

std::string FallbackReportText(const FallbackReportInput& input) {
  std::string out = "{\n\"schemaVersion\":1,\n\"buildHash\":";
  AppendJsonString(out, std::string_view(build::kBuildHash));
  out += ",\n\"verbose\":";
  out += input.verbose ? "true" : "false";
  out += ",\n\"windowsBuild\":";
  out += std::to_string(input.host.windowsBuild);
  out += ",\n\"windowsVersion\":";
  AppendJsonString(out, input.host.windowsVersion);
  out += ",\n\"nativeArchitecture\":";
  AppendJsonString(out, ArchitectureName(input.host.nativeArchitecture));
  out += ",\n\"exitCode\":";
  AppendJsonString(out, input.errorCodeText);
  out += ",\n\"registered\":false,\n\"packageFullName\":\"\",\n\"appInstallerUri\":\"\"";
  out += ",\n\"desktopAppInstallerVersion\":\"\",\n\"activityId\":\"\"";
  out += ",\n\"updateSettingsInspectable\":false,\n\"automaticBackgroundTask\":false";
  out += ",\n\"message\":";
  AppendJsonString(out, input.statusText);
  out += ",\n\"diagnosticDetail\":";
  AppendJsonString(out, input.technicalLog);
  out += ",\n\"errors\":";
  out += ErrorsJson(input.errors);
  out += ",\n\"events\":[]\n}\n";
  return out;
}

FallbackReportResult WriteFallbackReport(const FallbackReportInput& input) {
  FallbackReportResult result;
  const std::wstring path = FallbackReportPath(input);
  if (path.empty()) return result;
  result.code = AtomicWrite(path, FallbackReportText(input));
  if (result.code == 0) {
    result.writtenPath = path;
  } else {
    result.record = RecordFromCode(L"launcher.report_write_failed", L"WriteReport failed in the launcher.", result.code);
  }
  return result;
}

}  // namespace tavo::launcher
