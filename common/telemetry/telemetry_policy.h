// Telemetry switched off by IT: the REG_DWORD value `TelemetryDisabled` under
// Software\Policies\Tavo\Installer, in HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
// Non-zero turns telemetry off for both programs: no connection to the
// telemetry host, no installer profile created or read.
#pragma once

#include <cstdint>
#include <optional>

namespace tavo {

inline constexpr wchar_t kTelemetryPolicyKey[] = L"Software\\Policies\\Tavo\\Installer";
inline constexpr wchar_t kTelemetryPolicyValue[] = L"TelemetryDisabled";

// The machine's value wins over the user's when it is set; a value that is
// missing, of another type or of another size is not set.
bool TelemetryOffByPolicy(std::optional<uint32_t> machine, std::optional<uint32_t> user);

// The policy as this process read it at its first call (read once: a policy
// change applies to the next run). Never fails: an unreadable value is not set.
bool TelemetryDisabledByPolicy();

}  // namespace tavo
