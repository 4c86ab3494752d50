// The operation log: what each stage did, kept for the report and appended at
// once to the trace sidecar (`<report>.trace.jsonl`).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/diagnostics/error_record.h"

namespace tavo::worker {

// Without --verbose only `error` entries, `verification.` operations and a few
// named operations are kept; the rest are dropped without a trace.
bool KeepEntry(bool verbose, const std::wstring& operation, const std::wstring& phase);

void LogOperation(const std::wstring& operation, const std::wstring& phase, const std::wstring& detail, int32_t code,
                  std::optional<ErrorRecord> record = std::nullopt);

}  // namespace tavo::worker
