#include "common/telemetry/telemetry_policy.h"

#include <windows.h>

namespace tavo {
namespace {

// A REG_DWORD of four bytes, or nothing: a missing key or value, another type
// or size, or a failed read are all "not set", never an error of the run.
std::optional<uint32_t> ReadPolicyDword(HKEY root) {
  DWORD data = 0;
  DWORD size = sizeof(data);
  if (::RegGetValueW(root, kTelemetryPolicyKey, kTelemetryPolicyValue, RRF_RT_REG_DWORD, nullptr, &data, &size) !=
          ERROR_SUCCESS ||
      size != sizeof(data)) {
    return std::nullopt;
  }
  return data;
}

}  // namespace

bool TelemetryOffByPolicy(std::optional<uint32_t> machine, std::optional<uint32_t> user) {
  if (machine) return *machine != 0;
  return user.value_or(0) != 0;
}

bool TelemetryDisabledByPolicy() {
  static const bool disabled =
      TelemetryOffByPolicy(ReadPolicyDword(HKEY_LOCAL_MACHINE), ReadPolicyDword(HKEY_CURRENT_USER));
  return disabled;
}

}  // namespace tavo
