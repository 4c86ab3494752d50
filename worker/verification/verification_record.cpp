#include "worker/verification/verification_record.h"

#include "build_info.h"
#include "common/text.h"

namespace tavo::worker {
namespace {

void AppendBool(std::string& out, const char* key, bool value) {
  out += key;
  out += value ? "true" : "false";
}

void AppendTri(std::string& out, const char* key, const TriState& value) {
  out += key;
  out += !value ? "null" : (*value ? "true" : "false");
}

void AppendText(std::string& out, const char* key, std::wstring_view value) {
  out += key;
  AppendJsonString(out, value);
}

}  // namespace

std::string VerificationJson(const VerificationRecord& r) {
  std::string out;
  AppendBool(out, "{\"attempted\":", r.attempted);
  AppendBool(out, ",\"verified\":", r.verified);
  out += ",\"attempts\":" + std::to_string(r.attempts);
  AppendText(out, ",\"mode\":", r.mode);
  AppendText(out, ",\"packageFullName\":", r.packageFullName);
  AppendText(out, ",\"packageName\":", r.packageName);
  AppendText(out, ",\"publisher\":", r.publisher);
  AppendText(out, ",\"expectedPackageName\":", build::kPackageName);
  AppendText(out, ",\"expectedPublisher\":", build::kPackagePublisher);
  AppendText(out, ",\"appInstallerUri\":", r.appInstallerUri);
  AppendText(out, ",\"expectedAppInstallerUri\":", build::kDescriptorUri);
  AppendText(out, ",\"desktopAppInstallerVersion\":", r.desktopAppInstallerVersion);
  AppendTri(out, ",\"packagePresent\":", r.packagePresent);
  AppendTri(out, ",\"packageHealthy\":", r.packageHealthy);
  AppendBool(out, ",\"packageHealthInconsistent\":", r.packageHealthInconsistent);
  AppendTri(out, ",\"associationPresent\":", r.associationPresent);
  AppendTri(out, ",\"uriPresent\":", r.uriPresent);
  AppendTri(out, ",\"policyInterfaceSupported\":", r.policyInterfaceSupported);
  AppendTri(out, ",\"onLaunch\":", r.onLaunch);
  AppendTri(out, ",\"automaticBackgroundTask\":", r.automaticBackgroundTask);
  out += ",\"packageStatus\":{";
  for (size_t i = 0; i < r.packageStatus.size(); ++i) {
    if (i) out.push_back(',');
    AppendJsonString(out, r.packageStatus[i].first);
    out += r.packageStatus[i].second ? ":true" : ":false";
  }
  out += "}}";
  return out;
}

}  // namespace tavo::worker
