// The launcher's own diagnostic report, written when it fails before a worker
// could write one (a check run refused by the compatibility gate, a failure
// while preparing the worker session). Same schema as the worker's report, with
// every field that only the worker knows left empty or false.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/diagnostics/error_record.h"
#include "common/host_facts.h"

namespace tavo::launcher {

// What the window object knows when it writes the report.
struct FallbackReportInput {
  std::wstring sessionReportPath;  // the worker session's report path; may be empty
  std::wstring optionReportPath;   // the absolute --report path; may be empty
  bool verbose = false;            // --verbose
  HostFacts host;                  // windowsBuild, windowsVersion, nativeArchitecture
  std::wstring errorCodeText;      // "0x" + 8 hex digits of the failure, or empty
  std::wstring statusText;         // the user message shown on the screen
  std::wstring technicalLog;       // CR LF separated lines
  std::vector<ErrorRecord> errors;
};

struct FallbackReportResult {
  int32_t code = 0;                   // 0: written, or no path to write to; else the HRESULT of the failed call
  std::wstring writtenPath;           // the path written; empty when nothing was written
  std::optional<ErrorRecord> record;  // `launcher.report_write_failed`, for the error list, on failure
};

// The session's report path when set, else the --report path; empty: no report.
std::wstring FallbackReportPath(const FallbackReportInput& input);

// The report text: UTF-8 JSON, one key per line, ending with a line feed.
std::string FallbackReportText(const FallbackReportInput& input);

// Writes the report through `<path>.tmp` and a replacing move. The caller adds
// `record` to its error list on failure and, on success, takes `writtenPath` as
// the session's report path when that was empty. The screen never changes here.
FallbackReportResult WriteFallbackReport(const FallbackReportInput& input);

}  // namespace tavo::launcher
