// The telemetry payload: the JSON event bodies of one report, built by hand as
// UTF-8 from fixed key fragments. Pure functions of their inputs and the build
// hash; a large outcome is split into numbered fragments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/diagnostics/error_record.h"

namespace tavo {

inline constexpr size_t kMaxSingleEventBytes = 61440;
inline constexpr size_t kFragmentBytes = 8192;

// What the environment fragment says about the PC (read by ReadEnvironment).
struct EnvironmentFacts {
  uint32_t windowsBuild = 0;
  std::wstring windowsVersion;
  std::wstring nativeArchitecture;
  bool avxAvailable = false;
  std::optional<bool> deliveryOptimizationServiceAvailable;  // nullopt: could not be told
  std::wstring installerProfileId;                           // empty: sent as null
};

// One report: how a run ended and what it met on the way.
struct ReportInputs {
  std::wstring outcome;  // "failed" and "cancelled" change the payload; any other word is passed on
  uint32_t exitCode = 0;
  std::vector<ErrorRecord> errors;
  std::optional<std::string> verificationJson;  // the verification object, when there is one
  std::optional<std::string> deploymentJson;    // the deployment diagnostics object, when there is one
  bool userCancelled = false;
  uint32_t descriptorRetries = 0;
  uint32_t deploymentRetries = 0;
  std::vector<ErrorRecord> retryFailures;
  bool limitedDiskSpace = false;
  std::wstring visitorId;  // empty: the envelope has no `user_id`
};

// `,"windowsBuild":...,"installerProfileId":...`: members, not an object.
std::string EnvironmentFragment(const EnvironmentFacts& facts);

// "installerFinished" for exit code 0 or a cancellation, else "installerError".
std::string_view EventName(const ReportInputs& inputs);

// The outcome object; error lists are compacted (repeated records folded).
std::string OutcomeObject(const ReportInputs& inputs, const std::string& environment);

// `{"trigger":...,"repo":"installer","hash":...[,"user_id":...],"data":` data `}`.
std::string Envelope(std::string_view trigger, const std::string& data, std::wstring_view visitorId);

// Cuts `bytes` into pieces of at most `limit` bytes; a cut inside a UTF-8
// sequence moves back to the sequence's first byte.
std::vector<std::string_view> SplitUtf8(std::string_view bytes, size_t limit);

// The request bodies of one report, in sending order: one event, or a summary
// event followed by the `installerDiagnostics` fragments of the outcome object.
std::vector<std::string> BuildEvents(const ReportInputs& inputs, const std::string& environment,
                                     std::wstring_view diagnosticsId);

}  // namespace tavo
