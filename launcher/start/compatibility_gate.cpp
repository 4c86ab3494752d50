#include "launcher/start/compatibility_gate.h"

#include "common/text.h"
#include "launcher/start/launcher_codes.h"

namespace tavo::launcher {

std::optional<Refusal> JudgeCompatibility(const HostFacts& facts) {
  switch (JudgeHost(facts)) {
    case HostVerdict::Supported:
      return std::nullopt;
    case HostVerdict::WindowsTooOld:
      return Refusal{kCodeOldWindows,
                     L"Tavo needs Windows 10 version 2004 or later. Update Windows, then come back and make "
                     L"something great."};
    case HostVerdict::NotX64:
      return Refusal{kCodeNotX64,
                     L"This Tavo release needs an Intel or AMD 64-bit PC. ARM and 32-bit Windows aren't "
                     L"supported yet."};
    case HostVerdict::NoAvx:
      break;
  }
  return Refusal{kCodeNoAvx, L"Tavo Studio needs AVX, but AVX isn't available on this PC. Use a PC with AVX enabled."};
}

ErrorRecord UnsupportedHostRecord(const Refusal& refusal, const HostFacts& facts) {
  return MakeRecord(static_cast<int32_t>(refusal.code), L"compatibility.unsupported_host", HostFactsSummary(facts));
}

}  // namespace tavo::launcher
