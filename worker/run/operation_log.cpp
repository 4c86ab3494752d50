#include "worker/run/operation_log.h"

#include <windows.h>

#include "common/handles.h"
#include "common/text.h"
#include "worker/run/error_store.h"
#include "worker/run/reporting.h"
#include "worker/run/state.h"

namespace tavo::worker {
namespace {

// Appends one line to the sidecar; returns 0 or the Win32 error.
DWORD AppendTraceLine(const std::wstring& path, bool firstOpen, const std::string& line) {
  // The first open of a run replaces a sidecar left by an earlier run.
  UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                firstOpen ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ::GetLastError();
  DWORD written = 0;
  if (!::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
    return ::GetLastError();
  if (written != line.size()) return ERROR_WRITE_FAULT;
  return 0;
}

}  // namespace

Reporting& Report() {
  static Reporting reporting;
  return reporting;
}

bool KeepEntry(bool verbose, const std::wstring& operation, const std::wstring& phase) {
  if (verbose || phase == L"error" || operation.rfind(L"verification.", 0) == 0) return true;
  return operation == L"preflight.download_service.DoSvc" || operation == L"preflight.system_disk" ||
         operation == L"worker.start" || operation == L"deployment.result" || operation == L"telemetry.result";
}

std::string EntryJson(const LogEntry& e) {
  std::string out = "{\"operation\":";
  AppendJsonString(out, e.operation);
  out += ",\"phase\":";
  AppendJsonString(out, e.phase);
  out += ",\"detail\":";
  AppendJsonString(out, e.detail);
  out += ",\"attempt\":" + std::to_string(e.attempt);
  out += ",\"elapsedMs\":" + std::to_string(e.elapsedMs);
  out += ",\"code\":";
  AppendJsonString(out, Hex8(static_cast<uint32_t>(e.code)));
  if (e.error) out += ",\"errors\":" + ErrorsJson({*e.error});
  out.push_back('}');
  return out;
}

std::string OperationLogJson(const std::vector<LogEntry>& entries) {
  std::string out = "[";
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i) out.push_back(',');
    out += EntryJson(entries[i]);
  }
  out.push_back(']');
  return out;
}

void LogOperation(const std::wstring& operation, const std::wstring& phase, const std::wstring& detail, int32_t code,
                  std::optional<ErrorRecord> record) {
  RunState& run = Worker();
  if (!KeepEntry(run.verbose, operation, phase)) return;

  LogEntry entry{operation, phase, detail, run.verificationAttempt, ::GetTickCount64() - run.startTick, code,
                 std::move(record)};
  DWORD traceError = 0;
  {
    Reporting& report = Report();
    std::lock_guard guard(report.lock);
    report.log.push_back(entry);
    if (!run.reportPath.empty() && !report.traceFailed) {
      traceError = AppendTraceLine(run.reportPath + L".trace.jsonl", !report.traceCreated, EntryJson(entry) + "\n");
      if (traceError == 0) report.traceCreated = true;
      else report.traceFailed = true;
    }
  }
  // Recorded after the lock is released; the sidecar is off by now, so the
  // record's own log entry does not try it again.
  if (traceError != 0) {
    ErrorRecord failure = MakeRecord(HresultFromWin32(traceError), L"logging.trace_write_failed",
                                     L"Writing the raw trace sidecar failed.");
    failure.nativeDomain = L"Win32";
    failure.nativeCode = static_cast<int32_t>(traceError);
    AddRecord(std::move(failure));
  }
}

}  // namespace tavo::worker
