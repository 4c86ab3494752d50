// The report lock and what it guards: the event list, the operation log and the
// trace sidecar. Events, log entries and report writes serialise on it.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/diagnostics/error_record.h"

namespace tavo::worker {

struct LogEntry {
  std::wstring operation;
  std::wstring phase;
  std::wstring detail;
  uint32_t attempt = 0;
  uint64_t elapsedMs = 0;
  int32_t code = 0;
  std::optional<ErrorRecord> error;
};

struct Reporting {
  std::mutex lock;                  // the report lock
  std::vector<std::string> events;  // JSON of every event, in emission order
  std::vector<LogEntry> log;        // kept operation log entries
  bool traceCreated = false;
  bool traceFailed = false;
};

Reporting& Report();

std::string EntryJson(const LogEntry& entry);
std::string OperationLogJson(const std::vector<LogEntry>& entries);

}  // namespace tavo::worker
