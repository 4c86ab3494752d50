#include "common/telemetry/payload.h"

#include "build_info.h"
#include "common/text.h"

namespace tavo {
namespace {

const char* Bool(bool value) { return value ? "true" : "false"; }

bool IsFailed(const ReportInputs& inputs) { return inputs.outcome == L"failed"; }
bool IsCancelled(const ReportInputs& inputs) { return inputs.outcome == L"cancelled"; }

// Members 1-6, which the outcome object and the summary share:
// outcome, exit code, environment, cancel, disk and retry members.
std::string CommonMembers(const ReportInputs& inputs, const std::string& environment) {
  std::string out = "{\"outcome\":";
  AppendJsonString(out, inputs.outcome);
  out += ",\"exitCode\":";
  AppendJsonString(out, Hex8(inputs.exitCode));
  out += environment;
  if (IsCancelled(inputs) && inputs.userCancelled) out += ",\"userCanceled\":true";
  if (inputs.limitedDiskSpace && inputs.exitCode != 0 && IsFailed(inputs)) out += ",\"limitedDiskSpace\":true";
  const uint64_t retries = uint64_t{inputs.descriptorRetries} + inputs.deploymentRetries;
  if (retries != 0) {
    out += ",\"retryCount\":" + std::to_string(retries);
    out += ",\"descriptorRetries\":" + std::to_string(inputs.descriptorRetries);
    out += ",\"deploymentRetries\":" + std::to_string(inputs.deploymentRetries);
  }
  return out;
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string EnvironmentFragment(const EnvironmentFacts& facts) {
  std::string out = ",\"windowsBuild\":" + std::to_string(facts.windowsBuild);
  out += ",\"windowsVersion\":";
  AppendJsonString(out, facts.windowsVersion);
  out += ",\"nativeArchitecture\":";
  AppendJsonString(out, facts.nativeArchitecture);
  out += ",\"avxAvailable\":";
  out += Bool(facts.avxAvailable);
  out += ",\"deliveryOptimizationServiceAvailable\":";
  out += facts.deliveryOptimizationServiceAvailable ? Bool(*facts.deliveryOptimizationServiceAvailable) : "null";
  out += ",\"installerProfileId\":";
  if (facts.installerProfileId.empty()) {
    out += "null";
  } else {
    AppendJsonString(out, facts.installerProfileId);
  }
  return out;
}

std::string_view EventName(const ReportInputs& inputs) {
  return inputs.exitCode == 0 || IsCancelled(inputs) ? "installerFinished" : "installerError";
}

std::string OutcomeObject(const ReportInputs& inputs, const std::string& environment) {
  std::string out = CommonMembers(inputs, environment);
  if (inputs.exitCode != 0 && !IsCancelled(inputs) && !inputs.retryFailures.empty())
    out += ",\"retryFailures\":" + ErrorsJson(CompactRecords(inputs.retryFailures));
  if (!inputs.errors.empty()) out += ",\"errors\":" + ErrorsJson(CompactRecords(inputs.errors));
  if (inputs.deploymentJson) out += ",\"deployment\":" + *inputs.deploymentJson;
  if (inputs.verificationJson) out += ",\"verification\":" + *inputs.verificationJson;
  out.push_back('}');
  return out;
}

std::string Envelope(std::string_view trigger, const std::string& data, std::wstring_view visitorId) {
  std::string out = "{\"trigger\":";
  AppendJsonString(out, trigger);
  out += ",\"repo\":\"installer\",\"hash\":";
  AppendJsonString(out, std::string_view(build::kBuildHash));
  if (!visitorId.empty()) {
    out += ",\"user_id\":";
    AppendJsonString(out, visitorId);
  }
  out += ",\"data\":" + data + "}";
  return out;
}

std::vector<std::string_view> SplitUtf8(std::string_view bytes, size_t limit) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = start + limit;
    if (end >= bytes.size()) {
      end = bytes.size();
    } else {
      size_t cut = end;
      while (cut > start && IsContinuationByte(bytes[cut])) --cut;
      // A piece of continuation bytes only is no UTF-8 text; cut it where the limit falls.
      if (cut > start) end = cut;
    }
    pieces.push_back(bytes.substr(start, end - start));
    start = end;
  }
  return pieces;
}

std::vector<std::string> BuildEvents(const ReportInputs& inputs, const std::string& environment,
                                     std::wstring_view diagnosticsId) {
  const std::string_view trigger = EventName(inputs);
  const std::string outcome = OutcomeObject(inputs, environment);
  std::string single = Envelope(trigger, outcome, inputs.visitorId);
  if (single.size() <= kMaxSingleEventBytes) return {std::move(single)};

  const std::vector<std::string_view> fragments = SplitUtf8(outcome, kFragmentBytes);
  std::string header = "\"diagnosticsId\":";
  AppendJsonString(header, diagnosticsId);
  header += ",\"format\":\"json-fragments\",\"partCount\":" + std::to_string(fragments.size());

  // The summary counts the records the fragments carry: the compacted list.
  std::string summary = CommonMembers(inputs, environment);
  summary += ",\"errorCount\":" + std::to_string(CompactRecords(inputs.errors).size());
  summary += "," + header + "}";

  std::vector<std::string> events;
  events.reserve(fragments.size() + 1);
  events.push_back(Envelope(trigger, summary, inputs.visitorId));
  for (size_t i = 0; i < fragments.size(); ++i) {
    std::string data = "{" + header + ",\"partIndex\":" + std::to_string(i) + ",\"payload\":";
    AppendJsonString(data, fragments[i]);
    data.push_back('}');
    events.push_back(Envelope("installerDiagnostics", data, inputs.visitorId));
  }
  return events;
}

}  // namespace tavo
