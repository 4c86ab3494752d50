// The host compatibility gate: refuses PCs on which the application cannot run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/diagnostics/error_record.h"
#include "common/host_facts.h"

namespace tavo::launcher {

struct Refusal {
  uint32_t code = 0;
  std::wstring message;  // the status text of the `unsupported` screen
};

// The first refusal that applies (version, architecture, AVX), or none.
std::optional<Refusal> JudgeCompatibility(const HostFacts& facts);

// The `compatibility.unsupported_host` record of a refusal; `facts` are read
// again when the refusal is handled.
ErrorRecord UnsupportedHostRecord(const Refusal& refusal, const HostFacts& facts);

}  // namespace tavo::launcher
