// The diagnostic report: one JSON document describing the whole run, written
// atomically to the report path.
#pragma once

#include <cstdint>
#include <string>

namespace tavo::worker {

// Builds the report and writes it; 0, or the HRESULT of the failed write.
// Without a report path nothing is written and the result is 0.
int32_t WriteReport(int32_t exitCode);

// The report text for the current process state (the report lock must be held).
std::string ReportText(int32_t exitCode);

// Writes through `<path>.tmp` and a replacing move; 0 or an HRESULT. On failure
// the temporary file is gone and any earlier file at `path` is untouched.
int32_t AtomicWrite(const std::wstring& path, const std::string& bytes);

}  // namespace tavo::worker
