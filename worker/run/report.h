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

}  // namespace tavo::worker
